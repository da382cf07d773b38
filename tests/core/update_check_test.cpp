// Registration with the update checker over the in-memory store: what is
// written on the first run and on later runs, and what a failed write leaves.
#include "backitem/update_check.h"

#include <gtest/gtest.h>

#include "common/errors.h"
#include "common/key_path.h"
#include "memory_store.h"
#include "registry/registry.h"

namespace tarnwick {
namespace {

using Names = std::vector<std::string>;

const std::string kMaker = std::string("Software\\Wendlor\\") + kMakerKey;
const std::string kProgram = kMaker + "\\Tarnwick2";

class UpdateCheckTest : public testing::Test {
 protected:
  // Opens an HKCU key; its value names, or "<missing>".
  Names Open(const std::string& path) {
    reg_.SetRootKey(kHKeyCurrentUser);
    if (!reg_.OpenKeyReadOnly(path)) return {"<missing>"};
    Names names;
    reg_.GetValueNames(names);
    return names;
  }

  std::string ErrorOf(const std::string& displayName = "") {
    try {
      RegisterUpdateCheck(reg_, "Tarnwick2", displayName, "C:\\T\\Tarnwick.exe", 147);
    } catch (const ERegistryException& e) {
      return e.what();
    }
    return "<none>";
  }

  MemoryStore store_;
  TRegistry reg_{store_};
};

TEST_F(UpdateCheckTest, NothingWithoutTheUpdateCheckersKey) {
  store_.AddKey("HKCU\\Software");
  store_.AddKey("HKLM\\Software\\Wendlor");  // the machine's does not count
  reg_.SetRootKey(kHKeyLocalMachine);
  EXPECT_EQ(ErrorOf(), "<none>");
  EXPECT_EQ(Open("Software\\Wendlor"), Names{"<missing>"});
  reg_.SetRootKey(kHKeyLocalMachine);
  ASSERT_TRUE(reg_.OpenKeyReadOnly("Software\\Wendlor"));
  EXPECT_FALSE(reg_.HasSubKeys());
}

TEST_F(UpdateCheckTest, FirstRegistrationDescribesMakerAndProgram) {
  store_.AddKey("HKCU\\Software\\Wendlor");
  RegisterUpdateCheck(reg_, "Tarnwick2", "", "C:\\T\\Tarnwick.exe", 4);
  EXPECT_EQ(Open(kMaker), (Names{"Author", "DisplayHost", "InfoURL"}));
  EXPECT_EQ(reg_.ReadString("Author"), kMakerAuthor);
  EXPECT_EQ(reg_.ReadString("DisplayHost"), kMakerDisplayHost);
  EXPECT_EQ(reg_.ReadString("InfoURL"), kMakerInfoUrl);
  EXPECT_EQ(Open(kProgram), (Names{"DistinctName", "FilePath", "Build"}));
  EXPECT_EQ(reg_.ReadString("DistinctName"), "Tarnwick2");
  EXPECT_EQ(reg_.ReadString("FilePath"), "C:\\T\\Tarnwick.exe");
  RegValue build;
  ASSERT_TRUE(reg_.QueryValue("Build", TextForm::Wide, 4, build));
  EXPECT_EQ(build.type, kRegDword);
  EXPECT_EQ(build.data, std::string("\x04\0\0\0", 4));

  MemoryStore other;  // a display name is written when there is one
  other.AddKey("HKCU\\Software\\Wendlor");
  TRegistry reg(other);
  RegisterUpdateCheck(reg, "Tarnwick2", "Tarnwick 2", "p");
  ASSERT_TRUE(reg.OpenKeyReadOnly(kProgram));
  EXPECT_EQ(reg.ReadString("DisplayName"), "Tarnwick 2");
}

TEST_F(UpdateCheckTest, LaterRunsUpdateOnlyPathAndBuild) {
  store_.SetString("HKCU\\" + kMaker, "Author", "edited author");
  store_.SetString("HKCU\\" + kMaker, "DisplayHost", "edited host");
  store_.SetString("HKCU\\" + kMaker, "InfoURL", "edited url");
  store_.SetString("HKCU\\" + kProgram, "DistinctName", "edited name");
  store_.SetString("HKCU\\" + kProgram, "FilePath", "old path");
  store_.SetDword("HKCU\\" + kProgram, "Build", 1);
  RegisterUpdateCheck(reg_, "Tarnwick2", "Tarnwick 2", "new path", 200);
  EXPECT_EQ(Open(kMaker), (Names{"Author", "DisplayHost", "InfoURL"}));
  EXPECT_EQ(reg_.ReadString("Author"), "edited author");
  EXPECT_EQ(reg_.ReadString("DisplayHost"), "edited host");
  EXPECT_EQ(reg_.ReadString("InfoURL"), "edited url");
  EXPECT_EQ(Open(kProgram), (Names{"DistinctName", "FilePath", "Build"}));
  EXPECT_EQ(reg_.ReadString("DistinctName"), "edited name");
  EXPECT_EQ(reg_.ReadString("FilePath"), "new path");
  EXPECT_EQ(reg_.ReadInteger("Build"), 200u);
}

TEST_F(UpdateCheckTest, FailedWriteThrowsAndKeepsWhatWasWritten) {
  store_.AddKey("HKCU\\Software\\Wendlor");
  store_.SetWriteFault("Build");
  EXPECT_EQ(ErrorOf(), "'Build' の書き込みに失敗しました");
  EXPECT_EQ(Open(kMaker), (Names{"Author", "DisplayHost", "InfoURL"}));
  EXPECT_EQ(Open(kProgram), (Names{"DistinctName", "FilePath"}));
}

TEST_F(UpdateCheckTest, ProgramKeyThatCannotBeOpened) {
  store_.SetString("HKCU\\" + kProgram, "FilePath", "old path");
  store_.SetReadOnly("HKCU\\" + kProgram);
  EXPECT_EQ(ErrorOf(), "'FilePath' の書き込みに失敗しました");
  Open(kProgram);
  EXPECT_EQ(reg_.ReadString("FilePath"), "old path");
}

}  // namespace
}  // namespace tarnwick

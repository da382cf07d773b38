// Registration with the update checker over the in-memory store: what is
// written on the first run and on later runs, and what a failed write leaves.
#include "common/update_check.h"

#include <gtest/gtest.h>

#include "common/errors.h"
#include "common/key_path.h"
#include "registry/memory_store.h"
#include "registry/registry.h"

namespace tarnwick {
namespace {

using Names = std::vector<std::string>;

const std::string kMaker = std::string("HKCU\\Software\\Wendlor\\") + kMakerKey;
const std::string kProgram = kMaker + "\\Tarnwick2";
constexpr const char* kPath = "C:\\Program Files\\Tarnwick\\Tarnwick.exe";

class UpdateCheckTest : public testing::Test {
 protected:
  void Register(const std::string& displayName = "", const std::string& path = kPath,
                uint32_t build = 147) {
    RegisterUpdateCheck(reg_, "Tarnwick2", displayName, path, build);
  }

  // Value names of a key given by its full path; "<missing>" when it does not open.
  Names ValueNames(const std::string& keyPath) {
    std::string path = keyPath;
    RemoveRootName(path);
    reg_.SetRootKey(kHKeyCurrentUser);
    if (!reg_.OpenKeyReadOnly(path)) return {"<missing>"};
    Names names;
    reg_.GetValueNames(names);
    return names;
  }

  std::string String(const std::string& keyPath, const char* name) {
    std::string path = keyPath;
    RemoveRootName(path);
    reg_.SetRootKey(kHKeyCurrentUser);
    return reg_.OpenKeyReadOnly(path) ? reg_.ReadString(name) : "<missing>";
  }

  MemoryStore store_;
  TRegistry reg_{store_};
};

TEST_F(UpdateCheckTest, NothingWithoutTheUpdateCheckersKey) {
  store_.AddKey("HKCU\\Software\\Other");
  store_.AddKey("HKLM\\Software\\Wendlor");  // the machine's does not count
  reg_.SetRootKey(kHKeyLocalMachine);
  Register();
  EXPECT_EQ(ValueNames("HKCU\\Software\\Wendlor"), Names{"<missing>"});
  reg_.SetRootKey(kHKeyLocalMachine);
  ASSERT_TRUE(reg_.OpenKeyReadOnly("Software\\Wendlor"));
  EXPECT_FALSE(reg_.HasSubKeys());
}

TEST_F(UpdateCheckTest, FirstRegistrationDescribesMakerAndProgram) {
  store_.AddKey("HKCU\\Software\\Wendlor");
  Register("", kPath, 4);
  EXPECT_EQ(ValueNames(kMaker), (Names{"Author", "DisplayHost", "InfoURL"}));
  EXPECT_EQ(String(kMaker, "Author"), kMakerAuthor);
  EXPECT_EQ(String(kMaker, "DisplayHost"), kMakerDisplayHost);
  EXPECT_EQ(String(kMaker, "InfoURL"), kMakerInfoUrl);
  EXPECT_EQ(ValueNames(kProgram), (Names{"DistinctName", "FilePath", "Build"}));
  EXPECT_EQ(String(kProgram, "DistinctName"), "Tarnwick2");
  EXPECT_EQ(String(kProgram, "FilePath"), kPath);
  RegValue build;
  ASSERT_TRUE(reg_.QueryValue("Build", TextForm::Wide, 4, build));
  EXPECT_EQ(build.type, kRegDword);
  EXPECT_EQ(build.data, std::string("\x04\0\0\0", 4));
}

TEST_F(UpdateCheckTest, DisplayNameOnlyWhenGiven) {
  store_.AddKey("HKCU\\Software\\Wendlor");
  Register("Tarnwick 2");
  EXPECT_EQ(ValueNames(kProgram), (Names{"DistinctName", "DisplayName", "FilePath", "Build"}));
  EXPECT_EQ(String(kProgram, "DisplayName"), "Tarnwick 2");
}

TEST_F(UpdateCheckTest, LaterRunsUpdateOnlyPathAndBuild) {
  store_.SetString(kMaker, "Author", "edited author");
  store_.SetString(kMaker, "DisplayHost", "edited host");
  store_.SetString(kMaker, "InfoURL", "edited url");
  store_.SetString(kProgram, "DistinctName", "edited name");
  store_.SetString(kProgram, "FilePath", "old path");
  store_.SetDword(kProgram, "Build", 1);
  Register("Tarnwick 2", "new path", 200);
  EXPECT_EQ(ValueNames(kMaker), (Names{"Author", "DisplayHost", "InfoURL"}));
  EXPECT_EQ(String(kMaker, "Author"), "edited author");
  EXPECT_EQ(String(kMaker, "DisplayHost"), "edited host");
  EXPECT_EQ(String(kMaker, "InfoURL"), "edited url");
  EXPECT_EQ(ValueNames(kProgram), (Names{"DistinctName", "FilePath", "Build"}));
  EXPECT_EQ(String(kProgram, "DistinctName"), "edited name");
  EXPECT_EQ(String(kProgram, "FilePath"), "new path");
  EXPECT_EQ(reg_.ReadInteger("Build"), 200u);
}

TEST_F(UpdateCheckTest, FailedWriteThrowsAndKeepsWhatWasWritten) {
  store_.AddKey("HKCU\\Software\\Wendlor");
  store_.SetWriteFault("Build");
  try {
    Register();
    ADD_FAILURE() << "no error";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "'Build' の書き込みに失敗しました");
  }
  EXPECT_EQ(ValueNames(kMaker), (Names{"Author", "DisplayHost", "InfoURL"}));
  EXPECT_EQ(ValueNames(kProgram), (Names{"DistinctName", "FilePath"}));
}

TEST_F(UpdateCheckTest, ProgramKeyThatCannotBeOpened) {
  store_.SetString(kMaker, "Author", "a");
  store_.SetString(kProgram, "FilePath", "old path");
  store_.SetReadOnly(kProgram);
  try {
    Register();
    ADD_FAILURE() << "no error";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "'FilePath' の書き込みに失敗しました");
  }
  EXPECT_EQ(String(kProgram, "FilePath"), "old path");
}

TEST_F(UpdateCheckTest, MakerKeyThatCannotBeCreated) {
  store_.AddKey("HKCU\\Software\\Wendlor");
  store_.SetReadOnly("HKCU\\Software\\Wendlor");
  try {
    Register();
    ADD_FAILURE() << "no error";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "'Author' の書き込みに失敗しました");
  }
  EXPECT_EQ(ValueNames(kMaker), Names{"<missing>"});
}

}  // namespace
}  // namespace tarnwick

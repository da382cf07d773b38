// Input that would corrupt a backup, given to the real program: it is
// refused with a message naming the cause, and nothing is written.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "common/text_codec.h"
#include "e2e_support.h"

namespace tarnwick::e2e {
namespace {

constexpr const char* kFixture =
    "[Software\\\\Fixture\\\\Editor] 1733600000\n"
    "\"Size\"=dword:0000000c\n\n"
    "[Software\\\\Fixture\\\\Viewer] 1733600000\n"
    "\"Zoom\"=dword:00000064\n\n";

class HostileInputTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    WriteUserReg(kFixture);
  }

  // The REG file as UTF-8 text with LF line ends.
  std::string RegText(const std::string& name) {
    std::string text = Utf16ToUtf8(LeBytesToUtf16(Read(name).substr(2)));
    std::erase(text, '\r');
    return text;
  }
};

TEST_F(HostileInputTest, UnusableInputIsRefusedAndNothingIsWritten) {
  auto replaceData = [this](auto make) {
    std::filesystem::remove(data);
    make();
  };

  struct Case {
    const char* what;
    std::function<void()> arrange;
    int status;
    const char* message;
  } cases[] = {
      {"a FIFO as data file", [&] { replaceData([&] { mkfifo(data.c_str(), 0600); }); }, 4,
       "通常のファイルではありません"},
      {"a device as data file",
       [&] { replaceData([&] { ASSERT_EQ(symlink("/dev/zero", data.c_str()), 0); }); }, 4,
       "通常のファイルではありません"},
      {"a folder as data file",
       [&] { replaceData([&] { std::filesystem::create_directory(data); }); }, 4, "フォルダーです"},
      {"a UTF-8 data file",
       [&] {
         test::WriteFileBytes(data,
                              "[Tarnwick]\r\nVersion=205\r\n\r\n[BackupItems]\r\n"
                              "エディタ=HKCU\\Software\\Fixture\\Editor,,0\r\n");
       },
       4, "UTF-8 で書かれています (5 行目)"},
      {"a data file with a UTF-8 byte-order mark",
       [&] { test::WriteFileBytes(data, "\xEF\xBB\xBF" + DataFileBytes("", "")); }, 4, "BOM"},
      {"a registry file with a line it cannot read",
       [&] { WriteUserReg(std::string(kFixture) + "junk\n"); }, 5,
       "user.reg (12 行目: 認識できない行です)"},
      {"a FIFO as registry file",
       [&] {
         std::filesystem::remove(prefix + "/user.reg");
         mkfifo((prefix + "/user.reg").c_str(), 0600);
       },
       5, "通常のファイルではありません"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(data);  // a FIFO left by the case before would block a write
    std::filesystem::remove(prefix + "/user.reg");
    WriteUserReg(kFixture);
    WriteData("editor=HKCU\\Software\\Fixture\\Editor,,0\n", "RegEditVer=5\n");
    c.arrange();
    struct stat before;
    ASSERT_EQ(lstat(data.c_str(), &before), 0);
    Outcome outcome = RunBatch();
    EXPECT_EQ(outcome.exitCode, c.status) << outcome;
    EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome;
    EXPECT_FALSE(Exists("items.reg"));
    struct stat after;
    ASSERT_EQ(lstat(data.c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);  // never rewritten
    EXPECT_EQ(after.st_ino, before.st_ino);
  }
}

TEST_F(HostileInputTest, ALineBreakInANameNeverStartsALineOfTheRegFile) {
  // The data file escapes a line break in a name as %0D%0A; decoded, it must
  // not turn the rest of the name into a deletion line.
  WriteData(
      "evil%0D%0A[-HKEY_CURRENT_USER\\Software\\Fixture]=HKCU\\Software\\Fixture\\Viewer,"
      "note,0\n",
      "RegEditVer=5\nAddComment=1\n");
  Outcome outcome = RunBatch();
  ASSERT_EQ(outcome.exitCode, 0) << outcome;
  EXPECT_EQ(RegText("items.reg"),
            "Windows Registry Editor Version 5.00\n\n"
            "; [evil  [-HKEY_CURRENT_USER\\Software\\Fixture] - note]\n"
            "[HKEY_CURRENT_USER\\Software\\Fixture\\Viewer]\n"
            "\"Zoom\"=dword:00000064\n\n");
}

TEST_F(HostileInputTest, ItemsOfTheSameNameEachExportTheirOwnKeys) {
  WriteData(
      "Viewer=HKCU\\Software\\Fixture\\Viewer,,0\nviewer=HKCU\\Software\\Fixture\\Editor,,0\n",
      "RegEditVer=5\n");
  Outcome outcome = RunBatch();
  ASSERT_EQ(outcome.exitCode, 0) << outcome;
  EXPECT_NE(outcome.err.find("viewer → viewer1"), std::string::npos) << outcome;
  std::string text = RegText("items.reg");
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Fixture\\Viewer]"), std::string::npos);
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Fixture\\Editor]"), std::string::npos);
  std::string saved = Cp932ToUtf8(Read(data));
  EXPECT_NE(saved.find("\r\nViewer=HKCU\\Software\\Fixture\\Viewer,,0\r\n"), std::string::npos);
  EXPECT_NE(saved.find("\r\nviewer1=HKCU\\Software\\Fixture\\Editor,,0\r\n"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick::e2e

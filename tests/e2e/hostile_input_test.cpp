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

// Names and data that any program can put into the registry, written in
// Wine's escapes: line breaks and NULs in key and value names, a string
// whose second line is a key line, and data the quoted forms cannot give back.
constexpr const char* kHostileRegistry = R"([Software\\Hostile] 1733600000
"ok"="C:\\Program Files\\App"
"v\r\n[HKEY_CURRENT_USER\\Software\\Victim]"="x"
"n\0ul"="x"
"run"="a\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n\"evil\"=\"calc.exe\""
"text"="line 1\r\nline 2"
"short"=hex(4):01,02
"cut"=hex(1):31,00,2e,00,00,00,41,00,00,00
"yen"="C:\\Program Files\xa5"

[Software\\Hostile\\y\r\n\[HKEY_CURRENT_USER] 1733600000
"evil"="calc.exe"

[Software\\Hostile\\z\n\[-HKEY_CURRENT_USER] 1733600000

[Software\\Hostile\\n\0ul] 1733600000

[Software\\Hostile\\a\x00a5b] 1733600000

)";

TEST_F(HostileInputTest, HostileNamesAndDataNeverBecomeLinesOfTheirOwnAndAreReported) {
  WriteUserReg(kHostileRegistry);
  struct Case {
    int version;
    std::string reg;
    std::vector<std::string> reported;
  };
  const std::vector<std::string> both = {
      "名前に改行か NUL があるので書き出しませんでした: HKEY_CURRENT_USER\\Software\\Hostile の値 "
      "'v\\r\\n[HKEY_CURRENT_USER\\Software\\Victim]'",
      "名前に改行か NUL があるので書き出しませんでした: HKEY_CURRENT_USER\\Software\\Hostile の値 "
      "'n\\0ul'",
      "名前に改行か NUL があるので書き出しませんでした (サブキーも): "
      "HKEY_CURRENT_USER\\Software\\Hostile\\y\\r\\n[HKEY_CURRENT_USER",
      "名前に改行か NUL があるので書き出しませんでした (サブキーも): "
      "HKEY_CURRENT_USER\\Software\\Hostile\\z\\n[-HKEY_CURRENT_USER",
      "名前に改行か NUL があるので書き出しませんでした (サブキーも): "
      "HKEY_CURRENT_USER\\Software\\Hostile\\n\\0ul",
      "インポートで同じデータに戻りません: HKEY_CURRENT_USER\\Software\\Hostile の値 'short' "
      "(2 バイトの DWORD です)",
      "インポートで同じデータに戻りません: HKEY_CURRENT_USER\\Software\\Hostile の値 'cut' "
      "(NUL の後にもデータがあります)",
  };
  const Case cases[] = {
      {5,
       "Windows Registry Editor Version 5.00\n\n"
       "[HKEY_CURRENT_USER\\Software\\Hostile]\n"
       "\"cut\"=\"1.\"\n"
       "\"ok\"=\"C:\\\\Program Files\\\\App\"\n"
       "\"run\"=hex(1):61,00,0d,00,0a,00,5b,00,48,00,4b,00,45,00,59,00,5f,00,43,00,55,00,\\\n"
       "  52,00,52,00,45,00,4e,00,54,00,5f,00,55,00,53,00,45,00,52,00,5c,00,53,00,6f,\\\n"
       "  00,66,00,74,00,77,00,61,00,72,00,65,00,5c,00,4d,00,69,00,63,00,72,00,6f,00,\\\n"
       "  73,00,6f,00,66,00,74,00,5c,00,57,00,69,00,6e,00,64,00,6f,00,77,00,73,00,5c,\\\n"
       "  00,43,00,75,00,72,00,72,00,65,00,6e,00,74,00,56,00,65,00,72,00,73,00,69,00,\\\n"
       "  6f,00,6e,00,5c,00,52,00,75,00,6e,00,5d,00,0d,00,0a,00,22,00,65,00,76,00,69,\\\n"
       "  00,6c,00,22,00,3d,00,22,00,63,00,61,00,6c,00,63,00,2e,00,65,00,78,00,65,00,\\\n"
       "  22,00,00,00\n"
       "\"short\"=dword:00000201\n"
       "\"text\"=\"line 1\nline 2\"\n"
       "\"yen\"=\"C:\\\\Program Files¥\"\n\n"
       "[HKEY_CURRENT_USER\\Software\\Hostile\\a¥b]\n\n",
       {"改行の後が REG の行に見えるので、16 進の形で書きました: "
        "HKEY_CURRENT_USER\\Software\\Hostile の値 'run'",
        "改行を含むので、インポートで失われます: HKEY_CURRENT_USER\\Software\\Hostile の値 "
        "'text'"}},
      {4,
       "REGEDIT4\n\n"
       "[HKEY_CURRENT_USER\\Software\\Hostile]\n"
       "\"cut\"=\"1.\"\n"
       "\"ok\"=\"C:\\\\Program Files\\\\App\"\n"
       "\"run\"=\"a\\r\\n[HKEY_CURRENT_USER\\\\Software\\\\Microsoft\\\\Windows\\\\CurrentVersion"
       "\\\\Run]\\r\\n\\\"evil\\\"=\\\"calc.exe\\\"\"\n"
       "\"short\"=dword:00000201\n"
       "\"text\"=\"line 1\\r\\nline 2\"\n"
       "\"yen\"=\"C:\\\\Program Files?\"\n\n"
       "[HKEY_CURRENT_USER\\Software\\Hostile\\a?b]\n\n",
       {"Shift-JIS にない文字を ? にしました: HKEY_CURRENT_USER\\Software\\Hostile の値 'yen'",
        "Shift-JIS にない文字を ? にしました: HKEY_CURRENT_USER\\Software\\Hostile\\a¥b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    WriteData("hostile=HKCU\\Software\\Hostile,,0\n",
              "RegEditVer=" + std::to_string(c.version) + "\n");
    Outcome outcome = RunBatch();
    EXPECT_EQ(outcome.exitCode, 8) << outcome;
    std::string text = c.version == 5 ? RegText("items.reg") : Cp932ToUtf8(Read("items.reg"));
    std::erase(text, '\r');
    EXPECT_EQ(text, c.reg);
    std::vector<std::string> reported = both;
    reported.insert(reported.end(), c.reported.begin(), c.reported.end());
    for (const std::string& line : reported) {
      EXPECT_NE(outcome.err.find(line + "\n"), std::string::npos) << line << "\n" << outcome;
    }
    EXPECT_EQ(outcome.err.find('\r'), std::string::npos) << outcome;
  }
}

}  // namespace
}  // namespace tarnwick::e2e

// tarnwick --compare, run as a user would before importing a backup.
#include "common/text_codec.h"
#include "e2e_support.h"

namespace tarnwick::e2e {
namespace {

class CompareTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    WriteUserReg(
        "[Software\\\\Fixture\\\\Editor] 1733600000\n\"Size\"=dword:0000000c\n\n"
        "[Software\\\\Fixture\\\\Viewer] 1733600000\n\"Zoom\"=dword:00000064\n\n");
  }

  // A version 5 REG file with these lines after the header.
  void WriteReg(const std::string& body) {
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n" + body;
    test::WriteFileBytes(Path("b.reg"), "\xff\xfe" + Utf16ToLeBytes(Utf8ToUtf16(text)));
  }

  Outcome Compare(std::vector<std::string> more = {}) {
    std::vector<std::string> arguments{"--compare", Path("b.reg"), "-r" + prefix};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return Run(arguments);
  }
};

TEST_F(CompareTest, ListsWhatTheImportWouldChangeAndSaysWhenItWouldChangeNothing) {
  WriteReg("[HKEY_CURRENT_USER\\Software\\Fixture\\Editor]\r\n\"Size\"=dword:0000000c\r\n");
  Outcome same = Compare();
  EXPECT_EQ(same.exitCode, 0) << same;
  EXPECT_EQ(same.out, "インポートしても、レジストリは何も変わりません。\n");

  WriteReg(
      "[-HKEY_CURRENT_USER\\Software\\Fixture\\Viewer]\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Fixture\\Editor]\r\n"
      "\"Size\"=dword:0000000d\r\n\"Font\"=\"Mincho\"\r\njunk\r\n");
  Outcome changed = Compare();
  EXPECT_EQ(changed.exitCode, 9) << changed;
  EXPECT_EQ(
      changed.out,
      "  [HKEY_CURRENT_USER\\Software\\Fixture\\Editor]\n"
      "    + \"Font\"=\"Mincho\"\n"
      "    ~ \"Size\"=dword:0000000d  (今は dword:0000000c)\n"
      "- [HKEY_CURRENT_USER\\Software\\Fixture\\Viewer]\n"
      "    - \"Zoom\"=dword:00000064\n"
      "インポートで変わるもの: キーの追加 0、キーの削除 1、値の追加 1、値の変更 1、値の削除 1\n");
  EXPECT_NE(changed.err.find("b.reg の 8 行目: 読み込まれない行です"), std::string::npos)
      << changed;
  // Read-only: the registry is as it was.
  EXPECT_EQ(Compare().exitCode, 9);
}

TEST_F(CompareTest, WhatCannotBeComparedEndsWithTheUsualStatus) {
  struct Case {
    std::string reg;  // empty: no file
    std::vector<std::string> more;
    int status;
    const char* message;
  } cases[] = {
      {"", {}, 4, "ファイルがありません"},
      {"REGEDIT5\r\n", {}, 4, "1 行目: REG ファイルの見出し"},
      {"Windows Registry Editor Version 5.00\r\n", {"-w"}, 2, "起動オプションに誤りがあります"},
      {"Windows Registry Editor Version 5.00\r\n", {"-r/nonexistent/prefix"}, 5, "/nonexistent"},
  };
  for (const Case& c : cases) {
    std::remove(Path("b.reg").c_str());
    if (!c.reg.empty()) test::WriteFileBytes(Path("b.reg"), c.reg);
    Outcome outcome = Compare(c.more);
    EXPECT_EQ(outcome.exitCode, c.status) << outcome;
    EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome;
  }
}

}  // namespace
}  // namespace tarnwick::e2e

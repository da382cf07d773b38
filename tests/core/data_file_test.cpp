// The data file: exact bytes, round trips of every field, the Retry/Cancel
// paths, the 1.xx conversion and the safety of saves.
#include "backitem/data_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "backitem/app_settings.h"
#include "backitem/back_item.h"
#include "backitem/program_state.h"
#include "common/text_codec.h"
#include "platform/files.h"
#include "scripted_prompts.h"
#include "temp_dir.h"

namespace tarnwick::test {
namespace {

constexpr const char* kExample =
    "[Tarnwick]\r\nVersion=205\r\n\r\n"
    "[BackupItems]\r\nExplorer=HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer,,"
    "0\r\n\r\n"
    "[Settings]\r\nRegFileName=\r\nFullRestore=0\r\nRegEditVer=0\r\nNewLineImport=0\r\n"
    "AddComment=0\r\nSeparate=0\r\nCreateBackup=0\r\nSeparateName=0\r\n\r\n";

class DataFileTest : public testing::Test {
 protected:
  TempDir dir;
  ProgramState state;
  TBackItems items;
  ScriptedPrompts prompts;
  DataFileContext context{state, items, prompts, nullptr};

  void SetUp() override {
    state.ExeFileName = dir.File("tarnwick");
    state.DataFileName = dir.File("tarnwick.dat");
  }

  std::string Bytes() { return ReadFileBytes(state.DataFileName); }

  void Reload() {
    items.Clear();
    LoadDataFile(context);
  }
};

TEST_F(DataFileTest, NewFileMatchesTheLayoutByteForByte) {
  LoadDataFile(context);
  EXPECT_EQ(items.Count(), 0);
  EXPECT_TRUE(state.DataModified);
  EXPECT_EQ(state.Caption, "Tarnwick");
  std::vector<std::string> keys{"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer"};
  items.Add("Explorer", &keys, "", false);
  ASSERT_TRUE(SaveDataFile(context));
  EXPECT_EQ(Bytes(), kExample);
}

#ifndef _WIN32  // these need a write limit (RLIMIT_FSIZE)
TEST_F(DataFileTest, SavingAnUnchangedCurrentFileWritesNothing) {
  WriteFileBytes(state.DataFileName, kExample);
  LoadDataFile(context);
  EXPECT_FALSE(state.DataModified);
  FileSizeLimit full(0);  // any write would fail
  EXPECT_TRUE(SaveDataFile(context));
  EXPECT_TRUE(prompts.shown.empty());
}
#endif

TEST_F(DataFileTest, EveryFieldAndOddNamesRoundTrip) {
  LoadDataFile(context);
  std::vector<std::string> keys{"HKCU\\Software\\With Space", "HKCU\\ソフト\\表|ポ",
                                "HKLM\\a,b\"c"};
  items.Add("a=b%c", &keys, "comment, with \"quotes\"", true);
  items.Add("ソフト 表", nullptr, "", false);
  items.Add("%3D", nullptr, "日本語", true);
  state.Settings.RegFileName = "out dir\\all.reg";
  state.Settings.FullRestore = state.Settings.AddComment = state.Settings.CreateBackup = true;
  state.Settings.RegEditVer = 4;
  state.Settings.SeparateName = 1;
  ASSERT_TRUE(SaveDataFile(context));

  TOption saved = state.Settings;
  state.Settings = TOption();
  Reload();
  ASSERT_EQ(items.Count(), 3);
  EXPECT_EQ(items.Items(0).Name, "a=b%c");
  EXPECT_EQ(items.Items(0).BackupKeys, keys);
  EXPECT_EQ(items.Items(0).Comment, "comment, with \"quotes\"");
  EXPECT_TRUE(items.Items(0).NoDelete);
  EXPECT_EQ(items.Items(1).Name, "ソフト 表");
  EXPECT_TRUE(items.Items(1).BackupKeys.empty());
  EXPECT_EQ(items.Items(2).Name, "%3D");
  EXPECT_EQ(items.Items(2).Comment, "日本語");
  EXPECT_EQ(state.Settings, saved);
  EXPECT_FALSE(state.DataModified);
  // Stored as CP932, the item without keys as ",0".
  EXPECT_NE(Bytes().find(Utf8ToCp932("ソフト 表=,0\r\n")), std::string::npos);
}

TEST_F(DataFileTest, NamesTheIniSyntaxWouldLoseAreEscaped) {
  LoadDataFile(context);
  const std::vector<std::string> names = {";comment", " padded ", "tab\there", "%3B",
                                          "a%20b",    "  ",       "x;y",       "=;"};
  for (const std::string& name : names) items.Add(name, nullptr, "c", false);
  ASSERT_TRUE(SaveDataFile(context));
  Reload();
  ASSERT_EQ(items.Count(), static_cast<int>(names.size()));
  for (int i = 0; i < items.Count(); ++i) EXPECT_EQ(items.Items(i).Name, names[i]);
  EXPECT_EQ(ItemNameKey(";a b "), "%3Ba b%20");
  EXPECT_EQ(ItemNameKey("a=b%c"), "a%3Db%25c");  // plain names are stored as before
  // Comments and key paths are quoted; only line breaks and NULs cannot be stored.
  EXPECT_EQ(CommentTextProblem("a, \"b\"\t"), "");
  EXPECT_NE(CommentTextProblem("two\nlines"), "");
  EXPECT_NE(KeyPathTextProblem("HKCU\\A|line\r"), "");
  EXPECT_EQ(KeyPathTextProblem("HKCU\\ソフト|\x01"), "");
}

TEST(ItemTextTest, WhatCp932CannotHoldIsRefusedByName) {
  // é is not in CP932; ¥ and 〜 have no way back from its bytes.
  for (const char* c : {"é", "¥", "〜", "😀"}) {
    SCOPED_TRACE(c);
    const std::string text = std::string("Caf") + c;
    const std::string quoted = std::string("「") + c + "」";
    EXPECT_NE(KeyPathTextProblem("HKCU\\Software\\" + text).find(quoted), std::string::npos);
    EXPECT_NE(CommentTextProblem(text).find(quoted), std::string::npos);
    EXPECT_NE(ItemNameTextProblem(text).find(quoted), std::string::npos);
  }
  for (const char* fits : {"ソフト ～ ｶﾅ ①", "\\ \"\t;%="}) {
    EXPECT_EQ(KeyPathTextProblem(fits) + CommentTextProblem(fits) + ItemNameTextProblem(fits), "");
  }
}

TEST_F(DataFileTest, ExampleFileIsWrittenBackByteForByte) {
  std::string example = ReadFileBytes(TestDataPath("../../examples/example.dat"));
  WriteFileBytes(state.DataFileName, example);
  LoadDataFile(context);
  ASSERT_EQ(items.Count(), 6);
  EXPECT_EQ(items.Items(1).BackupKeys.size(), 2u);
  EXPECT_TRUE(items.Items(1).NoDelete);
  EXPECT_EQ(items.Items(3).Comment, "ファイルの関連付け (.exs)");
  state.DataModified = true;
  ASSERT_TRUE(SaveDataFile(context));
  // A rewrite moves [BackupItems] last and changes nothing else.
  std::size_t itemsAt = example.find("[BackupItems]"), settingsAt = example.find("[Settings]");
  EXPECT_EQ(Bytes(), example.substr(0, itemsAt) + example.substr(settingsAt) +
                         example.substr(itemsAt, settingsAt - itemsAt));
}

TEST_F(DataFileTest, SecondSaveMovesItemsAfterSettings) {
  LoadDataFile(context);
  items.Add("x", nullptr, "", false);
  SaveDataFile(context);
  SaveDataFile(context);
  std::string bytes = Bytes();
  EXPECT_LT(bytes.find("[Settings]"), bytes.find("[BackupItems]"));
}

TEST_F(DataFileTest, MissingSettingsKeysKeepTheDefaults) {
  WriteFileBytes(state.DataFileName, "[Tarnwick]\r\nVersion=206\r\n[Settings]\r\nSeparate=1\r\n");
  state.DefaultSettings.RegFileName = "default.reg";
  state.DefaultSettings.RegEditVer = 5;
  LoadDataFile(context);
  EXPECT_EQ(state.Settings.RegFileName, "default.reg");
  EXPECT_EQ(state.Settings.RegEditVer, 5);
  EXPECT_TRUE(state.Settings.Separate);
  EXPECT_TRUE(state.DataModified);  // another version is rewritten at the next save
}

TEST_F(DataFileTest, DuplicateNamesKeepTheirOwnKeysUnderNewNames) {
  WriteFileBytes(state.DataFileName,
                 "[Tarnwick]\r\nVersion=205\r\n[BackupItems]\r\nA=HKCU\\A,,0\r\na=HKCU\\B,,1\r\n"
                 "a1=HKCU\\C,,0\r\n");
  LoadDataFile(context);
  ASSERT_EQ(items.Count(), 3);
  EXPECT_EQ(items.Items(1).Name, "a2");  // a1 is taken by the next line
  EXPECT_EQ(items.Items(1).BackupKeys, std::vector<std::string>{"HKCU\\B"});
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_NE(prompts.shown[0].text.find("a → a2"), std::string::npos);
  // Saved under the new name, so the next load finds every item again.
  ASSERT_TRUE(state.DataModified);
  ASSERT_TRUE(SaveDataFile(context));
  items.Clear();
  LoadDataFile(context);
  EXPECT_EQ(items.Count(), 3);
}

// A second item whose name differs only in letter case is renamed; width
// and kana type make different names.
TEST_F(DataFileTest, NamesThatDifferOnlyInCaseAreDuplicatesOnLoad) {
  struct Case {
    const char* first;
    const char* second;
    const char* loadedAs;
  };
  for (const Case& c : {Case{"ＡＢＣ設定", "ａｂｃ設定", "ａｂｃ設定1"},
                        Case{"Viewer", "VIEWER", "VIEWER1"}, Case{"ABC", "ＡＢＣ", "ＡＢＣ"},
                        Case{"ソフト", "ｿﾌﾄ", "ｿﾌﾄ"}, Case{"ソフト", "そふと", "そふと"}}) {
    WriteFileBytes(state.DataFileName,
                   Utf8ToCp932(std::string("[Tarnwick]\r\nVersion=205\r\n[BackupItems]\r\n") +
                               c.first + "=HKCU\\A,,0\r\n" + c.second + "=HKCU\\B,,0\r\n"));
    Reload();
    ASSERT_EQ(items.Count(), 2) << c.second;
    EXPECT_EQ(items.Items(1).Name, c.loadedAs);
  }
}

TEST_F(DataFileTest, BadItemOffersRetryWithoutDuplicatingItems) {
  // Another version would be rewritten at the next save, but not from a
  // read the user gave up on.
  WriteFileBytes(state.DataFileName,
                 "[Tarnwick]\r\nVersion=206\r\n[BackupItems]\r\ngood=HKCU\\A,,0\r\nbad=x\r\n");
  prompts.answers = {PromptAnswer::Retry, PromptAnswer::Cancel};
  LoadDataFile(context);
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[0].text, "ファイル '" + state.DataFileName + "' が開けません。");
  EXPECT_EQ(prompts.shown[0].caption, "読み込みエラー");
  EXPECT_EQ(items.Count(), 0);
  EXPECT_FALSE(state.DataModified);
  EXPECT_EQ(state.Caption, "Tarnwick");
}

TEST_F(DataFileTest, ReadOnlyFileOffersRetryAndLosesNothing) {
  WriteFileBytes(state.DataFileName, kExample);
  LoadDataFile(context);
  chmod(state.DataFileName.c_str(), 0444);
  state.DataModified = true;
  items.Add("new", nullptr, "", false);
  prompts.answers = {PromptAnswer::Retry, PromptAnswer::Cancel};
  EXPECT_FALSE(SaveDataFile(context));
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[1].text,
            "ファイル '" + state.DataFileName +
                "' が保存できません。\r\nファイルへのアクセスが拒否されました");
  EXPECT_EQ(prompts.shown[1].caption, "保存エラー");
  EXPECT_EQ(Bytes(), kExample);
}

TEST_F(DataFileTest, AFailedSaveOfEitherFileSaysWhy) {
  std::filesystem::create_directory(dir.File("gone"));
  WriteFileBytes(dir.File("locked.dat"), "");
  chmod(dir.File("locked.dat").c_str(), 0444);
  struct Case {
    std::string file, reason;
  } cases[] = {
      {dir.File("locked.dat"), "ファイルへのアクセスが拒否されました"},
      {dir.File("gone/x.dat"), "保存先のフォルダーがありません: " + dir.File("gone/")},
  };
  std::filesystem::remove(dir.File("gone"));
  for (const Case& c : cases) {
    for (bool settings : {false, true}) {
      SCOPED_TRACE(c.file + (settings ? " settings" : " data"));
      prompts.shown.clear();
      state.DataModified = true;
      state.DataFileName = state.IniFileName = c.file;
      EXPECT_FALSE(settings ? SaveAppSettings(state, prompts) : SaveDataFile(context));
      ASSERT_EQ(prompts.shown.size(), 1u);
      EXPECT_EQ(prompts.shown[0].text,
                "ファイル '" + c.file + "' が保存できません。\r\n" + c.reason);
    }
  }
}

#ifndef _WIN32
TEST_F(DataFileTest, SaveThatFailsHalfWayKeepsTheOldFile) {
  WriteFileBytes(state.DataFileName, kExample);
  LoadDataFile(context);
  state.DataModified = true;
  items.Clear();
  {
    FileSizeLimit full(16);
    EXPECT_FALSE(SaveDataFile(context));
  }
  EXPECT_EQ(Bytes(), kExample);
  ASSERT_TRUE(SaveDataFile(context));  // and the next save goes through
  EXPECT_EQ(Bytes().find("[BackupItems]"), std::string::npos);
}
#endif

TEST_F(DataFileTest, BackupOfVersion1xxIsNeverOpenedNorWritten) {
  state.DataFileName = dir.File("old.1xx.dat");
  WriteFileBytes(state.DataFileName, "[Tarnwick]\r\nVersion=105\r\n");
  state.Caption = "before";
  LoadDataFile(context);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "version 1.xx 用データのバックアップ ファイルは開けません。");
  EXPECT_EQ(prompts.shown[0].caption, "");
  EXPECT_EQ(state.Caption, "before");
  state.DataModified = true;
  EXPECT_TRUE(SaveDataFile(context));
  EXPECT_EQ(Bytes(), "[Tarnwick]\r\nVersion=105\r\n");
}

TEST_F(DataFileTest, CaptionNamesFilesOutsideTheDefault) {
  state.DataFileName = dir.File("other.dat");
  LoadDataFile(context);
  EXPECT_EQ(state.Caption, "other.dat - Tarnwick");
  TempDir elsewhere;
  state.DataFileName = elsewhere.File("x.dat");
  Reload();
  EXPECT_EQ(state.Caption, elsewhere.File("x.dat") + " - Tarnwick");
}

TEST_F(DataFileTest, ConvertsVersion1xxFiles) {
  std::string old = Utf8ToCp932(
      "[Tarnwick]\r\nVersion=\r\n"
      "[BackupKey]\r\n"
      "HKCU\\Software\\A\\Config=,しない\r\n"
      "HKCU\\Software\\B\\Config=\r\n"
      "HKCU\\Software\\Config=named,0\r\n"
      "[Settings]\r\nFullRestore=1\r\n");
  WriteFileBytes(state.DataFileName, old);
  LoadDataFile(context);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].caption, "Tarnwick");
  EXPECT_EQ(ReadFileBytes(dir.File("tarnwick.1xx.dat")), old);
  ASSERT_EQ(items.Count(), 3);  // named by keys: the explicit name is ignored
  EXPECT_EQ(items.Items(0).Name, "Config");
  EXPECT_TRUE(items.Items(0).NoDelete);
  EXPECT_EQ(items.Items(1).Name, "Config1");
  EXPECT_EQ(items.Items(2).Name, "Config2");
  EXPECT_EQ(items.Items(2).Comment, "named");
  EXPECT_TRUE(state.Settings.FullRestore);
  EXPECT_FALSE(state.DataModified);  // the converted file is already current
}

TEST_F(DataFileTest, ConversionMergesKeysOfOneExplicitName) {
  WriteFileBytes(state.DataFileName,
                 "[Tarnwick]\r\nVersion=1070\r\n[Settings]\r\nSeparateName=1\r\n[BackupKey]\r\n"
                 "HKCU\\A%3Db=app,0\r\nHKCU\\C=app,1\r\nHKCU\\D\\Last=,0\r\n");
  WriteFileBytes(dir.File("tarnwick.1xx.dat"), "an earlier backup");
  LoadDataFile(context);
  EXPECT_EQ(ReadFileBytes(dir.File("tarnwick.1xx.dat")), "an earlier backup");
  ASSERT_EQ(items.Count(), 2);
  EXPECT_EQ(items.Items(0).Name, "app");
  EXPECT_EQ(items.Items(0).BackupKeys, (std::vector<std::string>{"HKCU\\A=b", "HKCU\\C"}));
  EXPECT_FALSE(items.Items(0).NoDelete);  // the first entry's flag
  EXPECT_EQ(items.Items(1).Name, "Last");
}

}  // namespace
}  // namespace tarnwick::test

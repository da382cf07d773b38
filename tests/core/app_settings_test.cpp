// The application settings file: defaults, the migrations of older layouts,
// and a file that cannot be written.
#include "backitem/app_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "backitem/program_state.h"
#include "scripted_prompts.h"
#include "temp_dir.h"

namespace tarnwick::test {
namespace {

class AppSettingsTest : public testing::Test {
 protected:
  TempDir dir;
  ProgramState state;
  ScriptedPrompts prompts;

  void SetUp() override { state.IniFileName = dir.File("tarnwick.ini"); }
};

TEST_F(AppSettingsTest, NoFileGivesDefaultsAndCloseWritesAFullFile) {
  state.Window.Width = 640;
  state.DefaultSettings.Separate = true;  // replaced by the default record
  LoadAppSettings(state, prompts);
  EXPECT_EQ(state.MaxLevel, 2);
  EXPECT_TRUE(state.Zoduvi);
  EXPECT_FALSE(state.ProgressOff);
  EXPECT_EQ(state.DefaultSettings, TOption());
  EXPECT_EQ(state.Window.Width, 640);
  EXPECT_EQ(state.Window.BackListColumns[1], 180);

  state.Window = {10, 20, 300, 200, 2, {1, 2, 3, 4}};
  state.PropertyWidth = 500;
  state.ConfirmDelete = true;
  state.DefaultSettings.RegFileName = "ソフト.reg";
  ASSERT_TRUE(SaveAppSettings(state, prompts));
  ProgramState reread;
  reread.IniFileName = state.IniFileName;
  LoadAppSettings(reread, prompts);
  EXPECT_EQ(reread.Window.Left, 10);
  EXPECT_EQ(reread.Window.Height, 200);
  EXPECT_EQ(reread.Window.State, 2);
  EXPECT_EQ(reread.Window.BackListColumns[3], 4);
  EXPECT_EQ(reread.PropertyWidth, 500);
  EXPECT_TRUE(reread.ConfirmDelete);
  EXPECT_EQ(reread.DefaultSettings.RegFileName, "ソフト.reg");
  std::string bytes = ReadFileBytes(state.IniFileName);
  EXPECT_EQ(bytes.substr(0, 26), "[Tarnwick]\r\nVersion=205\r\n\r");
  EXPECT_EQ(bytes.find("MaxLevel"), std::string::npos);  // read only, never written
}

TEST_F(AppSettingsTest, Version1xxColumnsMoveOneUp) {
  WriteFileBytes(state.IniFileName,
                 "[Tarnwick]\r\nVersion=105\r\n[Window]\r\nBackList0=100\r\nBackList1=200\r\n"
                 "BackList2=50\r\n[Settings]\r\nPropertyAdd=1\r\n");
  LoadAppSettings(state, prompts);
  EXPECT_EQ(state.Window.BackListColumns[0], 150);  // the name column's designed width
  EXPECT_EQ(state.Window.BackListColumns[1], 100);
  EXPECT_EQ(state.Window.BackListColumns[2], 200);
  EXPECT_EQ(state.Window.BackListColumns[3], 50);
  EXPECT_EQ(ReadFileBytes(state.IniFileName).find("PropertyAdd"), std::string::npos);
}

TEST_F(AppSettingsTest, PropertyAddStaysFromVersion2000On) {
  WriteFileBytes(state.IniFileName,
                 "[Tarnwick]\r\nVersion=2000\r\n[Settings]\r\nPropertyAdd=1\r\n");
  LoadAppSettings(state, prompts);
  EXPECT_NE(ReadFileBytes(state.IniFileName).find("PropertyAdd=1"), std::string::npos);
}

TEST_F(AppSettingsTest, NegativeMaxLevelTurnsTheProgressDisplayOff) {
  WriteFileBytes(state.IniFileName, "[Settings]\r\nMaxLevel=-1\r\nZoduvi=0\r\n");
  LoadAppSettings(state, prompts);
  EXPECT_TRUE(state.ProgressOff);
  EXPECT_FALSE(state.Zoduvi);
}

TEST_F(AppSettingsTest, ReadOnlyFileOffersRetryAndKeepsItsContents) {
  WriteFileBytes(state.IniFileName, "; mine\r\n");
  chmod(state.IniFileName.c_str(), 0444);
  prompts.answers = {PromptAnswer::Retry, PromptAnswer::Cancel};
  EXPECT_FALSE(SaveAppSettings(state, prompts));
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[0].caption, "保存エラー");
  EXPECT_EQ(ReadFileBytes(state.IniFileName), "; mine\r\n");

  // A migration that cannot be written asks too.
  WriteFileBytes(dir.File("old.ini"), "[Tarnwick]\r\nVersion=100\r\n");
  chmod(dir.File("old.ini").c_str(), 0444);
  state.IniFileName = dir.File("old.ini");
  prompts.shown.clear();
  LoadAppSettings(state, prompts);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].caption, "読み込みエラー");
}

TEST_F(AppSettingsTest, AFileInUtf8IsRefusedAndNeverRewritten) {
  const std::string utf8 = "[DefaultSettings]\r\nRegFileName=バックアップ\r\n";
  WriteFileBytes(state.IniFileName, utf8);
  LoadAppSettings(state, prompts);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_NE(prompts.shown[0].text.find("UTF-8 で書かれています (2 行目)"), std::string::npos);
  EXPECT_EQ(state.DefaultSettings, TOption());  // the defaults, not a misread name
  EXPECT_TRUE(SaveAppSettings(state, prompts));
  EXPECT_EQ(ReadFileBytes(state.IniFileName), utf8);
}

}  // namespace
}  // namespace tarnwick::test

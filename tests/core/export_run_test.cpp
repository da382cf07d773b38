// The export run over the in-memory registry: file names, one file or one per
// item, missing items, progress depth and cancellation.
#include "regwrite/export_run.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "backitem/back_item.h"
#include "backitem/program_state.h"
#include "common/errors.h"
#include "fake_ports.h"
#include "memory_store.h"
#include "platform/files.h"
#include "scripted_prompts.h"
#include "temp_dir.h"

namespace tarnwick::test {
namespace {

class ExportRunTest : public testing::Test {
 protected:
  TempDir dir;
  MemoryStore store;
  ProgramState state;
  TBackItems items;
  ScriptedPrompts prompts;
  FakeProgress progress;
  FakeWindow window;
  ExportContext context{state, items, store, prompts, progress, &window};
  TOption option;

  void SetUp() override {
    state.DataFileName = dir.File("items.dat");
    state.MaxLevel = 2;
    option.RegEditVer = 4;
    store.SetDword("HKCU\\Software\\Foo", "v", 1);
    store.SetDword("HKCU\\Software\\Bar", "v", 2);
  }

  void AddItem(const std::string& name, std::vector<std::string> keys, bool noDelete = false) {
    items.Add(name, &keys, "", noDelete);
  }

  ExportOutcome RunAll() {
    std::vector<int> all;
    for (int i = 0; i < items.Count(); ++i) all.push_back(i);
    return RegWriteItems(context, all, option);
  }

  std::string Read(const std::string& name) { return ReadFileBytes(dir.File(name)); }
};

constexpr const char* kFooText =
    "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Foo]\r\n\"v\"=dword:00000001\r\n\r\n";

TEST_F(ExportRunTest, OneFileNamedAfterTheDataFile) {
  AddItem("foo", {"HKCU\\Software\\Foo"});
  EXPECT_EQ(RunAll().status, ExportStatus::Completed);
  EXPECT_EQ(Read("items.reg"), kFooText);
  EXPECT_FALSE(progress.open);
  EXPECT_TRUE(progress.finished);
  EXPECT_FALSE(state.DataModified);
}

TEST_F(ExportRunTest, RelativeRegFileNameResolvesAgainstTheDataFilesFolder) {
  option.RegFileName = "out/all";
  AddItem("foo", {"HKCU\\Software\\Foo"});
  std::filesystem::create_directory(dir.File("out"));
  RunAll();
  EXPECT_EQ(Read("out/all.reg"), kFooText);
}

TEST_F(ExportRunTest, NoItemsLeaveNoFile) {
  RunAll();
  EXPECT_FALSE(FileExists(dir.File("items.reg")));
}

TEST_F(ExportRunTest, PerItemFilesAreNumberedAndOverwrittenOnceEachRun) {
  option.Separate = true;
  option.SeparateName = 1;
  AddItem("Foo", {"HKCU\\Software\\Foo"});
  AddItem("Foo", {"HKCU\\Software\\Bar"});
  AddItem("a:b?", {"HKCU\\Software\\Foo|v"});
  RunAll();
  EXPECT_EQ(Read("Foo.reg"), kFooText);
  EXPECT_NE(Read("Foo01.reg").find("Bar"), std::string::npos);
  EXPECT_TRUE(FileExists(dir.File("a_b_.reg")));
  RunAll();  // both existed before, so both are overwritten
  EXPECT_FALSE(FileExists(dir.File("Foo02.reg")));
  EXPECT_NE(Read("Foo01.reg").find("Bar"), std::string::npos);
}

TEST_F(ExportRunTest, SeparateFileNameFromTheFirstKey) {
  option.SeparateName = 0;
  TBackItem item;
  item.Name = "name";
  item.BackupKeys = {"HKCU\\Software\\Foo|Bar"};
  const std::string all = NativePath("/x/all.reg");
  EXPECT_EQ(SeparateFileName(all, item, option), NativePath("/x/Bar.reg"));
  item.BackupKeys = {"HKCU\\Software\\Foo"};
  EXPECT_EQ(SeparateFileName(all, item, option), NativePath("/x/Foo.reg"));
  option.SeparateName = 1;
  EXPECT_EQ(SeparateFileName(all, item, option), NativePath("/x/name.reg"));
}

TEST_F(ExportRunTest, PerItemWithoutKeysWritesNoFile) {
  option.Separate = true;
  AddItem("empty", {});
  window.visible = false;
  RunAll();
  EXPECT_FALSE(FileExists(dir.File(".reg")));
  EXPECT_TRUE(items.Items(0).NoDelete);
}

TEST_F(ExportRunTest, InBatchModeMissingItemsAreMarkedWithoutAQuestion) {
  context.window = nullptr;
  AddItem("gone", {"HKCU\\Software\\Gone", "HKCU\\Software\\Away"});
  RunAll();
  ASSERT_EQ(prompts.shown.size(), 1u);  // said, not asked
  EXPECT_EQ(prompts.shown[0].text,
            "アイテム 'gone' のキーはどれも、存在しないかアクセスできません: "
            "HKCU\\Software\\Gone, HKCU\\Software\\Away");
  EXPECT_TRUE(items.Items(0).NoDelete);
  EXPECT_TRUE(state.DataModified);
}

TEST_F(ExportRunTest, NoDeleteItemsArePassedOverAndTheirFileIsNotKept) {
  option.Separate = true;
  AddItem("Gone", {"HKCU\\Software\\Gone"}, true);
  RunAll();
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_FALSE(FileExists(dir.File("Gone.reg")));
  EXPECT_FALSE(state.DataModified);
}

TEST_F(ExportRunTest, DeletingTheSecondOfThreeItemsStillWritesTheThird) {
  AddItem("foo", {"HKCU\\Software\\Foo"});
  AddItem("gone", {"HKCU\\Software\\Gone"});
  AddItem("bar", {"HKCU\\Software\\Bar"});
  prompts.answers = {PromptAnswer::Yes};
  RunAll();
  ASSERT_EQ(items.Count(), 2);
  EXPECT_EQ(items.Items(1).Name, "bar");
  EXPECT_NE(Read("items.reg").find("Bar"), std::string::npos);
  EXPECT_TRUE(state.DataModified);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].caption, "存在しないキー");
}

TEST_F(ExportRunTest, QuestionListsTenKeysAndSaysTheRestIsLeftOut) {
  std::vector<std::string> keys;
  for (int i = 0; i < 12; ++i) keys.push_back("HKCU\\Gone" + std::to_string(i));
  AddItem("many", keys);
  items.Items(0).Comment = "c";
  RunAll();
  ASSERT_EQ(prompts.shown.size(), 1u);
  const std::string& text = prompts.shown[0].text;
  EXPECT_NE(text.find("削除しますか?\r\n\r\n[many - c]\r\n HKCU\\Gone0\r\n"), std::string::npos);
  EXPECT_NE(text.find(" HKCU\\Gone9\r\n (以下略)\r\n\r\n[はい]を押すと"), std::string::npos);
  EXPECT_EQ(text.find("Gone10"), std::string::npos);
  EXPECT_TRUE(items.Items(0).NoDelete);  // answered No
}

TEST_F(ExportRunTest, ProgressDepthShrinksWithMoreKeyPaths) {
  EXPECT_EQ(ProgressLevelFor(49, 2, false), 2u);
  EXPECT_EQ(ProgressLevelFor(50, 2, false), 1u);
  EXPECT_EQ(ProgressLevelFor(99, 0, false), 0u);
  EXPECT_EQ(ProgressLevelFor(100, 2, false), 0u);
  EXPECT_EQ(ProgressLevelFor(10, 2, true), 0u);
}

TEST_F(ExportRunTest, ActionsAreDisabledOnlyWithoutAProgressDisplay) {
  AddItem("foo", {"HKCU\\Software\\Foo"});
  RunAll();
  EXPECT_EQ(window.enabled, std::vector<bool>{true});
  state.ProgressOff = true;
  window.enabled.clear();
  RunAll();
  EXPECT_EQ(window.enabled, (std::vector<bool>{false, true}));
}

TEST_F(ExportRunTest, UnknownRegEditVerIsRefusedBeforeAnyFileIsTouched) {
  option.RegEditVer = 7;
  AddItem("foo", {"HKCU\\Software\\Foo"});
  WriteFileBytes(dir.File("items.reg"), "old");
  ExportOutcome outcome = RunAll();
  EXPECT_EQ(outcome.status, ExportStatus::Failed);
  EXPECT_EQ(
      ExportFailureText(outcome),
      "REGファイルの形式 (RegEditVer=7) が正しくありません。0、4 または 5 を指定してください。"
      "\r\n書き出し先: " +
          dir.File("items.reg"));
  EXPECT_EQ(Read("items.reg"), "old");
  EXPECT_FALSE(progress.open);
}

TEST_F(ExportRunTest, CancelDuringTheFirstItemRestoresTheEarlierFiles) {
  option.CreateBackup = true;
  AddItem("foo", {"HKCU\\Software\\Foo"});
  AddItem("bar", {"HKCU\\Software\\Bar"});
  WriteFileBytes(dir.File("items.reg"), "old");
  WriteFileBytes(dir.File("items.reg.bak"), "older");
  progress.cancelAtCheck = 1;
  EXPECT_EQ(RunAll().status, ExportStatus::Cancelled);
  EXPECT_EQ(Read("items.reg"), "old");
  EXPECT_EQ(Read("items.reg.bak"), "older");
  EXPECT_FALSE(progress.open);
}

TEST_F(ExportRunTest, CancelInPerItemModeKeepsFinishedFiles) {
  option.Separate = true;
  option.SeparateName = 1;
  AddItem("one", {"HKCU\\Software\\Foo"});
  AddItem("two", {"HKCU\\Software\\Bar"});
  progress.cancelAtCheck = 3;  // the second item's value
  EXPECT_EQ(RunAll().status, ExportStatus::Cancelled);
  EXPECT_EQ(Read("one.reg"), kFooText);
  EXPECT_FALSE(FileExists(dir.File("two.reg")));
}

TEST_F(ExportRunTest, CancelAfterTheLastValueStillCancels) {
  AddItem("foo", {"HKCU\\Software\\Foo"});
  progress.cancelAtCheck = 3;  // the value, the key's progress, then the finish
  EXPECT_EQ(RunAll().status, ExportStatus::Cancelled);
  EXPECT_EQ(Read("items.reg"), kFooText);  // the file was finished before the check
  EXPECT_FALSE(progress.finished);
}

}  // namespace
}  // namespace tarnwick::test

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

// What the run could not keep, as (kind, key, value) triples in the order met.
std::vector<std::string> LossList(const ExportOutcome& outcome) {
  std::vector<std::string> list;
  for (const ExportLoss& loss : outcome.losses.Listed()) {
    list.push_back(std::to_string(static_cast<int>(loss.kind)) + " " + loss.key +
                   (loss.value ? " |" + *loss.value : "") +
                   (loss.reason.empty() ? "" : " (" + loss.reason + ")"));
  }
  return list;
}

TEST_F(ExportRunTest, KeysAndValuesThatCannotBeReadAreReported) {
  store.AddKey("HKCU\\Software\\Foo\\Gone");
  store.SetVanished("HKCU\\Software\\Foo\\Gone");
  store.SetDword("HKCU\\Software\\Foo\\Locked", "v", 1);
  store.SetUnreadable("HKCU\\Software\\Foo\\Locked");
  store.AddKey("HKCU\\Software\\Foo\\List\\Hidden");
  store.SetSubKeysUnlistable("HKCU\\Software\\Foo\\List");
  store.SetValue("HKCU\\Software\\Foo", "bad", kRegBinary, "x");
  store.SetValueFault("HKCU\\Software\\Foo", "bad", MemoryStore::ValueFault::DataReadFails);
  AddItem("foo", {"HKCU\\Software\\Foo"});
  ExportOutcome outcome = RunAll();
  EXPECT_EQ(outcome.status, ExportStatus::Completed);
  const std::string foo = "HKEY_CURRENT_USER\\Software\\Foo";
  EXPECT_EQ(LossList(outcome), (std::vector<std::string>{
                                   "0 " + foo + " |bad (値を読めません)",
                                   "0 " + foo + "\\Gone (読む間になくなりました)",
                                   "0 " + foo + "\\List (サブキーの一覧を読めません)",
                                   "0 " + foo + "\\Locked (読み取りのために開けません)",
                               }));
}

TEST_F(ExportRunTest, Regedit4ReportsNamesAndStringsShiftJisCannotHold) {
  const std::string key = "HKCU\\Software\\Foo\\鷗";
  store.SetString(key, "𠮷", "ok");
  store.SetString(key, "sz", "森鷗外");
  store.SetString(key, "asked", "why?");  // a real '?' is no loss
  store.SetString(key, "expand", "%鷗%", kRegExpandSz);
  store.SetString(key, "multi", "a?", kRegMultiSz);
  AddItem("foo", {"HKCU\\Software\\Foo"});
  const std::string reg = "HKEY_CURRENT_USER\\Software\\Foo\\鷗";
  EXPECT_EQ(LossList(RunAll()),
            (std::vector<std::string>{"1 " + reg, "1 " + reg + " |𠮷", "1 " + reg + " |sz",
                                      "1 " + reg + " |expand"}));
  option.RegEditVer = 5;
  EXPECT_TRUE(RunAll().losses.Empty());
}

TEST_F(ExportRunTest, Version5ReportsQuotedStringsWithLineBreaksUnlessTheyGoInHex) {
  store.SetString("HKCU\\Software\\Foo", "lines", "a\r\nb");
  AddItem("foo", {"HKCU\\Software\\Foo"});
  option.RegEditVer = 5;
  EXPECT_EQ(LossList(RunAll()),
            (std::vector<std::string>{"2 HKEY_CURRENT_USER\\Software\\Foo |lines"}));
  option.NewLineImport = true;
  EXPECT_TRUE(RunAll().losses.Empty());
}

TEST(ExportLossesTest, ReportsListTwentyAndCountTheRest) {
  ExportLosses losses;
  for (int i = 0; i < 25; ++i) losses.Add({LossKind::LineBreak, "K", std::to_string(i), ""});
  std::vector<std::string> lines = ExportLossLines(losses);
  ASSERT_EQ(lines.size(), 21u);
  EXPECT_EQ(lines[0], "改行を含むので、インポートで失われます: K の値 '0'");
  EXPECT_EQ(lines[20], "ほかに 5 件あります。");
  EXPECT_EQ(losses.Count(LossKind::LineBreak), 25u);
}

}  // namespace
}  // namespace tarnwick::test

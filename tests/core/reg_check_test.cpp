// Each REG file is read back and checked against what was read from the
// registry before it takes the place of the earlier one.
#include "regwrite/reg_check.h"

#include <gtest/gtest.h>

#include "backitem/back_item.h"
#include "backitem/program_state.h"
#include "fake_ports.h"
#include "memory_store.h"
#include "regwrite/export_run.h"
#include "scripted_prompts.h"
#include "temp_dir.h"

namespace tarnwick::test {
namespace {

class RegCheckTest : public testing::Test {
 protected:
  TempDir dir;
  MemoryStore store;
  ProgramState state;
  TBackItems items;
  ScriptedPrompts prompts;
  FakeProgress progress;
  ExportContext context{state, items, store, prompts, progress};
  TOption option;

  void SetUp() override {
    state.DataFileName = dir.File("items.dat");
    const std::string app = "HKCU\\Software\\App";
    store.SetString(app, "", "default");
    store.SetString(app, "text", "a\"b\\c 日本");
    store.SetString(app, "lines", "one\r\ntwo");
    store.SetString(app, "path", "%A%", kRegExpandSz);
    store.SetString(app, "list", "x", kRegMultiSz);
    store.SetDword(app + "\\Sub", "n", 7);
    store.SetValue(app + "\\Sub\\Deeper", "bin", kRegBinary, std::string(300, '\1'));
    store.SetDword("HKCU\\Software\\Other", "v", 1);
    AddItem("app", {app});
    AddItem("other", {"HKCU\\Software\\Other"});
  }

  void AddItem(const std::string& name, std::vector<std::string> keys) {
    items.Add(name, &keys, "", false);
  }

  ExportOutcome RunAll(const BeforeCheckHook& hook = {}) {
    std::vector<int> all;
    for (int i = 0; i < items.Count(); ++i) all.push_back(i);
    return RegWriteItems(context, all, option, hook);
  }
};

struct OrdinaryCase {
  int version;
  bool newLineImport, separate, fullRestore;
  std::size_t values;  // a quoted string with a line break is one an import drops
};

class RegCheckOrdinaryTest : public RegCheckTest,
                             public testing::WithParamInterface<OrdinaryCase> {};

TEST_P(RegCheckOrdinaryTest, AnOrdinaryExportReadsBackAsWritten) {
  const OrdinaryCase& c = GetParam();
  option.RegEditVer = c.version;
  option.NewLineImport = c.newLineImport;
  option.Separate = c.separate;
  option.SeparateName = 1;
  option.FullRestore = c.fullRestore;
  ExportOutcome outcome = RunAll();
  ASSERT_EQ(outcome.status, ExportStatus::Completed) << outcome.message;
  EXPECT_EQ(outcome.checked.keys, 4u);
  EXPECT_EQ(outcome.checked.values, c.values);
  EXPECT_EQ(progress.note, "検証済み: キー 4、値 " + std::to_string(c.values));
}

std::vector<OrdinaryCase> OrdinaryCases() {
  std::vector<OrdinaryCase> cases;
  for (int version : {4, 5})
    for (bool newLineImport : {false, true})
      for (bool separate : {false, true})
        for (bool fullRestore : {false, true})
          cases.push_back({version, newLineImport, separate, fullRestore,
                           version == 5 && !newLineImport ? 7u : 8u});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Cases, RegCheckOrdinaryTest, testing::ValuesIn(OrdinaryCases()));

TEST_F(RegCheckTest, WhatTheLossReportNamesStillReadsBack) {
  const std::string odd = "HKCU\\Software\\App\\鷗";
  store.SetString(odd, "𠮷", "森鷗外");
  store.SetString(odd, "bare", std::string("ab", 2), kRegMultiSz);
  store.SetDword("HKCU\\Software\\App", "a\nb", 1);
  store.AddKey("HKCU\\Software\\App\\x\ny");
  option.FullRestore = true;
  for (int version : {4, 5}) {
    option.RegEditVer = version;
    ExportOutcome outcome = RunAll();
    EXPECT_EQ(outcome.status, ExportStatus::Completed) << version << outcome.message;
    EXPECT_FALSE(outcome.losses.Empty());
    EXPECT_EQ(outcome.checked.keys, 5u);
  }
}

struct TamperCase {
  const char* name;
  std::function<void(std::string& bytes)> tamper;
  std::string difference;  // what the message says after the file's name
};

class RegCheckTamperTest : public RegCheckTest, public testing::WithParamInterface<TamperCase> {};

TEST_P(RegCheckTamperTest, AFileChangedBeforeItIsPutInPlaceFailsAndKeepsTheEarlierOne) {
  option.RegEditVer = 4;
  option.CreateBackup = true;
  WriteFileBytes(dir.File("items.reg"), "old");
  WriteFileBytes(dir.File("items.reg.bak"), "older");
  ExportOutcome outcome = RunAll([&](const std::string& path) {
    std::string bytes = ReadFileBytes(path);
    GetParam().tamper(bytes);
    WriteFileBytes(path, bytes);
  });
  EXPECT_EQ(outcome.status, ExportStatus::Failed);
  EXPECT_EQ(outcome.message,
            "書き出した REG ファイルを読み返すと、レジストリから読んだ内容と違うので、"
            "書き出しを中止しました: " +
                dir.File("items.reg") + "\r\n" + GetParam().difference);
  EXPECT_EQ(ReadFileBytes(dir.File("items.reg")), "old");
  EXPECT_EQ(ReadFileBytes(dir.File("items.reg.bak")), "older");
  EXPECT_FALSE(FileExists(dir.File("items.reg.tarnwick-tmp")));
}

// After a cancel the file keeps its complete items; that part is checked
// too before it is put in place.
TEST_F(RegCheckTest, WhatACancelledRunKeepsIsCheckedBeforeItIsPutInPlace) {
  option.RegEditVer = 4;
  WriteFileBytes(dir.File("items.reg"), "old");
  progress.cancelAtCheck = 10;  // in the second item, after its value
  EXPECT_EQ(RunAll([](const std::string& path) { WriteFileBytes(path, "REGEDIT4\r\n"); }).status,
            ExportStatus::Cancelled);
  EXPECT_EQ(ReadFileBytes(dir.File("items.reg")), "old");

  progress.checks = 0;
  EXPECT_EQ(RunAll().status, ExportStatus::Cancelled);
  const std::string kept = ReadFileBytes(dir.File("items.reg"));
  EXPECT_NE(kept.find("[HKEY_CURRENT_USER\\Software\\App]"), std::string::npos) << kept;
  EXPECT_EQ(kept.find("Other"), std::string::npos) << kept;
}

// A large file is read in two pieces at once; a difference in either piece
// is found and named by its line.
TEST_F(RegCheckTest, ALargeFileReadInTwoPiecesStillNamesEachDifference) {
  const std::string many = "HKCU\\Software\\Many";
  for (int i = 0; i < 500; ++i) {
    store.SetValue(many + "\\K" + std::to_string(1000 + i), "bin", kRegBinary,
                   std::string(900, 'x'));
  }
  AddItem("many", {many});
  option.RegEditVer = 4;
  ExportOutcome whole = RunAll();
  ASSERT_EQ(whole.status, ExportStatus::Completed) << whole.message;
  EXPECT_EQ(whole.checked.keys, 505u);
  ASSERT_GT(ReadFileBytes(dir.File("items.reg")).size(), 1u << 20);
  for (const char* key : {"K1005", "K1495"}) {
    std::size_t line = 0;
    ExportOutcome outcome = RunAll([&](const std::string& path) {
      std::string bytes = ReadFileBytes(path);
      const std::size_t at = bytes.find("hex:", bytes.find(std::string("\\") + key + "]"));
      bytes.replace(at + 4, 2, "79");
      line = static_cast<std::size_t>(std::count(bytes.begin(), bytes.begin() + at, '\n')) + 1;
      WriteFileBytes(path, bytes);
    });
    EXPECT_EQ(outcome.status, ExportStatus::Failed) << key;
    EXPECT_NE(outcome.message.find(std::string("Many\\") + key + "、値: 'bin'\r\nファイル: " +
                                   std::to_string(line) + " 行目: 値 'bin'"),
              std::string::npos)
        << outcome.message;
  }
}

void Replace(std::string& bytes, const std::string& from, const std::string& to) {
  std::size_t at = bytes.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  bytes.replace(at, from.size(), to);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegCheckTamperTest,
    testing::Values(
        TamperCase{"OneByteOfAValue",
                   [](std::string& b) { Replace(b, "dword:00000007", "dword:00000008"); },
                   "キー: HKEY_CURRENT_USER\\Software\\App\\Sub、値: 'n'\r\n"
                   "ファイル: 11 行目: 値 'n' (種類 4、4 バイト: 08,00,00,00)\r\n"
                   "レジストリ: 値 'n' (種類 4、4 バイト: 07,00,00,00)"},
        TamperCase{"AValueRenamed", [](std::string& b) { Replace(b, "\"path\"=", "\"pass\"="); },
                   "キー: HKEY_CURRENT_USER\\Software\\App、値: 'path'\r\n"
                   "ファイル: 7 行目: 値 'pass' (種類 2、8 バイト: 25,00,41,00,25,00,00,00)\r\n"
                   "レジストリ: 値 'path' (種類 2、8 バイト: 25,00,41,00,25,00,00,00)"},
        TamperCase{"ALineDropped",
                   [](std::string& b) { Replace(b, "\"n\"=dword:00000007\r\n", ""); },
                   "キー: HKEY_CURRENT_USER\\Software\\App\\Sub、値: 'n'\r\n"
                   "ファイル: 12 行目: キー [HKEY_CURRENT_USER\\Software\\App\\Sub\\Deeper]\r\n"
                   "レジストリ: 値 'n' (種類 4、4 バイト: 07,00,00,00)"},
        TamperCase{"AKeyAdded", [](std::string& b) { b += "[HKEY_CURRENT_USER\\Extra]\r\n"; },
                   "キー: HKEY_CURRENT_USER\\Extra\r\n"
                   "ファイル: 31 行目: キー [HKEY_CURRENT_USER\\Extra]\r\n"
                   "レジストリ: (なし)"}),
    [](const testing::TestParamInfo<TamperCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnwick::test

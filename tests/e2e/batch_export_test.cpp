// Batch export as scripts run it: the REG files of both versions, one file or
// one per item, backups across runs, items whose keys are missing, and where
// the registry comes from when -r is not given.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "common/text_codec.h"
#include "e2e_support.h"
#include "reg_export_fixture.h"

namespace tarnwick::e2e {
namespace {

constexpr const char* kFixture =
    "[Software\\\\Fixture\\\\Editor] 1733600000\n"
    "\"Font\"=\"\\x30e1\\x30a4\\x30ea\\x30aa\"\n"
    "\"Size\"=dword:0000000c\n\n"
    "[Software\\\\Fixture\\\\Editor\\\\Tabs] 1733600000\n"
    "\"Width\"=dword:00000004\n\n"
    "[Software\\\\Fixture\\\\Viewer] 1733600000\n"
    "\"Zoom\"=dword:00000064\n\n"
    "[Software\\\\Other\\\\Editor] 1733600000\n"
    "\"Mode\"=\"dark\"\n\n";

constexpr const char* kEditorText =
    "[HKEY_CURRENT_USER\\Software\\Fixture\\Editor]\n"
    "\"Font\"=\"メイリオ\"\n"
    "\"Size\"=dword:0000000c\n\n"
    "[HKEY_CURRENT_USER\\Software\\Fixture\\Editor\\Tabs]\n"
    "\"Width\"=dword:00000004\n\n";
constexpr const char* kViewerText =
    "[HKEY_CURRENT_USER\\Software\\Fixture\\Viewer]\n"
    "\"Zoom\"=dword:00000064\n\n";
constexpr const char* kOtherText =
    "[HKEY_CURRENT_USER\\Software\\Other\\Editor]\n"
    "\"Mode\"=\"dark\"\n\n";
constexpr const char* kV4 = "REGEDIT4\n\n";
constexpr const char* kV5 = "Windows Registry Editor Version 5.00\n\n";

constexpr const char* kEditorItem = "エディタ=HKCU\\Software\\Fixture\\Editor,フォント設定,0\n";
constexpr const char* kViewerItem = "viewer=HKCU\\Software\\Fixture\\Viewer,,0\n";
constexpr const char* kOtherItem = "other=HKCU\\Software\\Other\\Editor,,0\n";
constexpr const char* kGoneItem = "gone=HKCU\\Software\\Fixture\\Gone,,0\n";

std::string Expected(int version, const std::string& text) {
  return test::RegFileBytes(version, (version == 4 ? kV4 : kV5) + text);
}

class BatchExportTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    WriteUserReg(kFixture);
  }

  // Quiet on success, as cron mails any output, but for what the backup
  // could not keep.
  void ExpectSuccess(const Outcome& outcome, const std::string& err = "") {
    EXPECT_EQ(outcome.exitCode, 0) << outcome;
    EXPECT_EQ(outcome.err, err);
    EXPECT_EQ(outcome.out, "");
  }
};

TEST_F(BatchExportTest, OneFileOfEachVersion) {
  for (int version : {4, 5}) {
    SCOPED_TRACE(version);
    WriteData(std::string(kEditorItem) + kViewerItem,
              "RegEditVer=" + std::to_string(version) + "\n");
    const std::string before = Read(data);
    ExpectSuccess(RunBatch());
    EXPECT_EQ(Read("items.reg"), Expected(version, std::string(kEditorText) + kViewerText));
    EXPECT_EQ(Read(data), before);  // nothing changed, so nothing saved
  }
}

// A display named by the environment that nobody serves.
std::string UnservedDisplay() {
  for (int n = 90;; ++n) {
    if (!std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n))) {
      return ":" + std::to_string(n);
    }
  }
}

// As from cron with a desktop's environment: an X or Wayland platform
// without its display, or a display that cannot be opened, still exports,
// as quietly as on a console.
TEST_F(BatchExportTest, ARunNeverNeedsADisplay) {
  WriteData(kViewerItem, "RegEditVer=5\n");
  const std::string display = UnservedDisplay();
  const std::vector<std::map<std::string, std::string>> environments{
      {{"QT_QPA_PLATFORM", "xcb"}},
      {{"QT_QPA_PLATFORM", "wayland"}},
      {{"DISPLAY", display}},
      {{"DISPLAY", display}, {"QT_QPA_PLATFORM", "xcb"}}};
  for (const auto& variables : environments) {
    SCOPED_TRACE(variables.begin()->first + "=" + variables.begin()->second);
    environment = variables;
    std::filesystem::remove(Path("items.reg"));
    ExpectSuccess(RunBatch());
    EXPECT_EQ(Read("items.reg"), Expected(5, kViewerText));
  }
}

TEST_F(BatchExportTest, CommentAndDeletionLines) {
  WriteData(kEditorItem, "RegEditVer=5\nFullRestore=1\nAddComment=1\n");
  ExpectSuccess(RunBatch({"-p"}));
  EXPECT_EQ(Read("items.reg"), Expected(5,
                                        "; [エディタ - フォント設定]\n"
                                        "[-HKEY_CURRENT_USER\\Software\\Fixture\\Editor]\n\n" +
                                            std::string(kEditorText)));
}

TEST_F(BatchExportTest, PerItemFilesNamedAfterTheirKeysAreNumberedAndStable) {
  std::filesystem::create_directory(Path("out"));
  WriteData(std::string(kEditorItem) + kOtherItem + kViewerItem,
            "RegEditVer=4\nSeparate=1\nSeparateName=0\nRegFileName=out/all\n");
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    ExpectSuccess(RunBatch());
    EXPECT_EQ(Read("out/Editor.reg"), Expected(4, kEditorText));
    EXPECT_EQ(Read("out/Editor01.reg"), Expected(4, kOtherText));
    EXPECT_EQ(Read("out/Viewer.reg"), Expected(4, kViewerText));
    // A second run replaces the files of the first instead of numbering on.
    EXPECT_FALSE(Exists("out/Editor02.reg"));
    EXPECT_FALSE(Exists("out/all.reg"));
  }
}

TEST_F(BatchExportTest, PerItemFilesNamedAfterTheItems) {
  WriteData(std::string(kEditorItem) + kViewerItem, "RegEditVer=5\nSeparate=1\nSeparateName=1\n");
  ExpectSuccess(RunBatch());
  EXPECT_EQ(Read("エディタ.reg"), Expected(5, kEditorText));
  EXPECT_EQ(Read("viewer.reg"), Expected(5, kViewerText));
}

TEST_F(BatchExportTest, BackupsRotateAcrossRuns) {
  WriteData(kViewerItem, "RegEditVer=4\nCreateBackup=1\n");
  ExpectSuccess(RunBatch());
  const std::string first = Read("items.reg");
  EXPECT_FALSE(Exists("items.reg.bak"));

  std::string changed = kFixture;
  changed.replace(changed.find("00000064"), 8, "000000c8");
  WriteUserReg(changed);
  ExpectSuccess(RunBatch());
  const std::string second = Read("items.reg");
  EXPECT_EQ(second, Expected(4,
                             "[HKEY_CURRENT_USER\\Software\\Fixture\\Viewer]\n"
                             "\"Zoom\"=dword:000000c8\n\n"));
  EXPECT_EQ(Read("items.reg.bak"), first);

  ExpectSuccess(RunBatch());
  EXPECT_EQ(Read("items.reg.bak"), second);
  EXPECT_FALSE(Exists("items.reg.bak.tmp"));
}

TEST_F(BatchExportTest, ItemsWithoutKeysAreKeptExemptedAndSaid) {
  WriteData(std::string(kGoneItem) + kViewerItem, "RegEditVer=4\n");
  const std::string said =
      "tarnwick: アイテム 'gone' のキーはどれも、存在しないかアクセスできません: "
      "HKCU\\Software\\Fixture\\Gone\n";
  ExpectSuccess(RunBatch(), said);
  EXPECT_EQ(Read("items.reg"), Expected(4, kViewerText));
  const std::string saved = Read(data);
  EXPECT_NE(saved.find("gone=HKCU\\Software\\Fixture\\Gone,,1\r\n"), std::string::npos);
  EXPECT_NE(saved.find("viewer=HKCU\\Software\\Fixture\\Viewer,,0\r\n"), std::string::npos);

  ExpectSuccess(RunBatch(), said);  // still said, every run it is missing
  EXPECT_EQ(Read(data), saved);     // exempt now: nothing more to save
}

TEST_F(BatchExportTest, NoItemsNoExport) {
  WriteData("", "RegEditVer=5\n");
  ExpectSuccess(RunBatch());
  EXPECT_FALSE(Exists("items.reg"));
}

TEST_F(BatchExportTest, TheExampleDataFileAndPrefix) {
  CopyExamples();
  ExpectSuccess(RunBatch({"-p"}),
                "tarnwick: アイテム 'Old Tool' のキーはどれも、存在しないかアクセスできません: "
                "HKCU\\Software\\OldTool\n");
  std::string reg = Read("items.reg");
  std::string text = Utf16ToUtf8(LeBytesToUtf16(reg.substr(2)));
  EXPECT_EQ(reg.substr(0, 2), "\xFF\xFE");
  EXPECT_NE(text.find("; [エディタ設定 - フォントとウィンドウ位置]\r\n"
                      "[-HKEY_CURRENT_USER\\Software\\ExampleSoft\\Editor]\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Software\\ExampleSoft]\r\n"
                      "\"InstallDir\"=\"C:\\\\Program Files\\\\ExampleSoft\"\r\n"),
            std::string::npos);
  EXPECT_NE(
      Cp932ToUtf8(Read(data)).find("Old Tool=HKCU\\Software\\OldTool,もう使っていないツール,1"),
      std::string::npos);
}

TEST_F(BatchExportTest, RegistryFromWinePrefixThenHome) {
  WriteData(kViewerItem, "RegEditVer=4\n");
  std::vector<std::string> noSource{"-w", "-i" + settings, data};
  environment["WINEPREFIX"] = prefix;
  ExpectSuccess(Run(noSource));
  EXPECT_EQ(Read("items.reg"), Expected(4, kViewerText));

  std::filesystem::remove(Path("items.reg"));
  environment.erase("WINEPREFIX");
  std::filesystem::rename(prefix, Path("home/.wine"));
  ExpectSuccess(Run(noSource));
  EXPECT_EQ(Read("items.reg"), Expected(4, kViewerText));
}

}  // namespace
}  // namespace tarnwick::e2e

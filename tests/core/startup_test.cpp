// The start-up sequence and batch export over the in-memory registry: the
// program's file names, the order of the early steps, the update-checker
// registration, and what the end-to-end tests cannot set up: a cancel request
// at a given point and two failures in one run.
#include "backitem/startup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "backitem/update_check.h"
#include "common/errors.h"
#include "console/batch_export.h"
#include "fake_ports.h"
#include "memory_store.h"
#include "registry/registry.h"
#include "scripted_prompts.h"
#include "temp_dir.h"

namespace tarnwick::test {
namespace {

constexpr const char* kFooItem = "foo=HKCU\\Software\\Foo,,0\r\n";
constexpr const char* kGoneItem = "gone=HKCU\\Software\\Gone,,0\r\n";
constexpr const char* kFooText =
    "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Foo]\r\n\"v\"=dword:00000001\r\n\r\n";

std::string DataFile(const std::string& items, const std::string& settings = "RegEditVer=4\r\n") {
  return "[Tarnwick]\r\nVersion=205\r\n\r\n[BackupItems]\r\n" + items + "\r\n[Settings]\r\n" +
         settings;
}

class FakePorts : public StartupPorts {
 public:
  bool otherCopyRunning = false;
  bool sourceUnusable = false;
  std::vector<std::string> opened;  // registry sources asked for
  std::unique_ptr<MemoryStore> source = std::make_unique<MemoryStore>();
  MemoryStore& store = *source;
  ScriptedPrompts prompts;
  FakeProgress progress;

  bool AcquireInstanceLock() override { return !otherCopyRunning; }
  std::unique_ptr<RegistryStore> OpenRegistrySource(const std::string& path) override {
    opened.push_back(path);
    if (sourceUnusable) throw ERegistrySourceError("'" + path + "' がありません");
    return std::move(source);
  }
  PromptPort& Prompts() override { return prompts; }
};

class StartupTest : public testing::Test {
 protected:
  TempDir dir;
  FakePorts ports;
  Session session;

  void SetUp() override { ports.store.SetDword("HKCU\\Software\\Foo", "v", 1); }

  StartupOutcome Start(std::vector<std::string> arguments = {"-w"}) {
    StartupInput input{dir.File("tarnwick"), std::move(arguments), "/home/user/.wine", workingDir,
                       configDir};
    return StartProgram(session, input, ports);
  }
  std::string workingDir, configDir;  // the program's folder for both unless a test sets them
  console::BatchOutcome StartBatch() {
    EXPECT_EQ(Start({"-w"}), StartupOutcome::Started);
    return RunBatchExport(session, ports.prompts, ports.progress);
  }
  std::string Read(const std::string& name) { return ReadFileBytes(dir.File(name)); }
  void Write(const std::string& name, const std::string& bytes) {
    WriteFileBytes(dir.File(name), bytes);
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& box : ports.prompts.shown) texts.push_back(box.text);
    return texts;
  }
};

TEST_F(StartupTest, FileNamesDefaultToTheProgramsNameAndFolder) {
  ASSERT_EQ(Start({}), StartupOutcome::Started);
  const ProgramState& state = session.state;
  EXPECT_EQ(state.ExeFileName, dir.File("tarnwick"));
  EXPECT_EQ(state.ProgramDir, dir.Path() + "/");
  EXPECT_EQ(session.helpFileName, dir.File("tarnwick.chm"));
  EXPECT_EQ(session.helpDir, dir.File("help/"));  // missing: the browser names it
  EXPECT_EQ(state.IniFileName, dir.File("tarnwick.ini"));
  EXPECT_EQ(state.DataFileName, dir.File("tarnwick.dat"));
  EXPECT_EQ(ports.opened, std::vector<std::string>{"/home/user/.wine"});
  EXPECT_FALSE(session.options.BatchExport);
  EXPECT_TRUE(ports.prompts.shown.empty());
}

TEST_F(StartupTest, HelpPagesBesideTheProgramComeBeforeTheInstalledOnes) {
  std::filesystem::create_directories(dir.File("usr/share/tarnwick/help"));
  Write("usr/share/tarnwick/help/index.html", "");
  StartupInput input{dir.File("usr/bin/tarnwick"), {}, "/home/user/.wine", "", ""};
  ASSERT_EQ(StartProgram(session, input, ports), StartupOutcome::Started);
  EXPECT_EQ(session.helpDir, dir.File("usr/share/tarnwick/help/"));

  std::filesystem::create_directories(dir.File("usr/bin/help"));
  Write("usr/bin/help/index.html", "");
  Session beside;
  ports.source = std::make_unique<MemoryStore>();
  ASSERT_EQ(StartProgram(beside, input, ports), StartupOutcome::Started);
  EXPECT_EQ(beside.helpDir, dir.File("usr/bin/help/"));
}

TEST_F(StartupTest, CommandLineNamesResolveAgainstTheWorkingFolder) {
  workingDir = dir.File("cwd/");
  ASSERT_EQ(Start({"mydata", "-isettings", "-rprefix"}), StartupOutcome::Started);
  EXPECT_EQ(session.state.DataFileName, dir.File("cwd/mydata.dat"));
  EXPECT_EQ(session.state.IniFileName, dir.File("cwd/settings.ini"));
  EXPECT_EQ(ports.opened, std::vector<std::string>{dir.File("cwd/prefix")});
  EXPECT_EQ(session.registrySource, dir.File("cwd/prefix"));
}

TEST_F(StartupTest, DefaultFilesLiveInTheConfigFolderUnlessBesideTheProgram) {
  configDir = dir.File("config/tarnwick/");
  Write("tarnwick.ini", "[Settings]\r\n");  // a portable copy's settings
  ASSERT_EQ(Start({}), StartupOutcome::Started);
  EXPECT_EQ(session.state.IniFileName, dir.File("tarnwick.ini"));
  EXPECT_EQ(session.state.DataFileName, dir.File("config/tarnwick/tarnwick.dat"));
  EXPECT_TRUE(std::filesystem::is_directory(configDir));  // so that the data file can be saved
}

TEST_F(StartupTest, CommandLineErrorReadsAndWritesNothing) {
  Write("tarnwick.ini", "[Settings]\r\nMaxLevel=-1\r\n");
  Write("tarnwick.dat", DataFile(kFooItem));
  EXPECT_EQ(Start({"-w", "-x"}), StartupOutcome::CommandLineError);
  ASSERT_EQ(ports.prompts.shown.size(), 1u);
  EXPECT_EQ(ports.prompts.shown[0].text, "起動オプションに誤りがあります。");
  EXPECT_EQ(ports.prompts.shown[0].caption, "Tarnwick");
  EXPECT_TRUE(ports.opened.empty());
  EXPECT_FALSE(session.state.ProgressOff);  // the settings file was not read
  EXPECT_EQ(session.items.Count(), 0);
  EXPECT_FALSE(FileExists(dir.File("tarnwick.reg")));
}

TEST_F(StartupTest, UnusableRegistrySourceStopsBeforeAnyFileIsRead) {
  ports.sourceUnusable = true;
  Write("tarnwick.ini", "[Settings]\r\nMaxLevel=-1\r\n");
  Write("tarnwick.dat", DataFile(kGoneItem));
  EXPECT_EQ(Start({"-w", "-r/nowhere"}), StartupOutcome::RegistrySourceError);
  EXPECT_EQ(Texts(), std::vector<std::string>{"'/nowhere' がありません"});
  EXPECT_FALSE(session.state.ProgressOff);
  EXPECT_EQ(session.items.Count(), 0);
  EXPECT_EQ(Read("tarnwick.dat"), DataFile(kGoneItem));
}

TEST_F(StartupTest, SettingsAreReadAfterTheCommandLine) {
  Write("quiet.ini", "[Settings]\r\nMaxLevel=-1\r\n");
  ASSERT_EQ(Start({"-iquiet"}), StartupOutcome::Started);
  EXPECT_TRUE(session.state.ProgressOff);  // MaxLevel below 0 turns the display off
  EXPECT_EQ(session.state.MaxLevel, -1);
}

TEST_F(StartupTest, RegistersWithTheUpdateCheckerWhenZoduviIsOn) {
  ports.store.AddKey("HKCU\\Software\\Wendlor");
  ASSERT_EQ(Start({}), StartupOutcome::Started);
  TRegistry registry(*session.store);
  ASSERT_TRUE(
      registry.OpenKeyReadOnly(std::string("Software\\Wendlor\\") + kMakerKey + "\\Tarnwick2"));
  EXPECT_EQ(registry.ReadString("FilePath"), dir.File("tarnwick"));
}

TEST_F(StartupTest, ZoduviOffRegistersNothing) {
  ports.store.AddKey("HKCU\\Software\\Wendlor");
  Write("tarnwick.ini", "[Settings]\r\nZoduvi=0\r\n");
  ASSERT_EQ(Start({}), StartupOutcome::Started);
  TRegistry registry(*session.store);
  EXPECT_FALSE(registry.KeyExists(std::string("Software\\Wendlor\\") + kMakerKey));
}

TEST_F(StartupTest, FailedRegistrationIsReportedAndStartUpGoesOn) {
  ports.store.AddKey("HKCU\\Software\\Wendlor");
  ports.store.SetReadOnly("HKCU\\Software\\Wendlor");
  Write("tarnwick.dat", DataFile(kFooItem));
  EXPECT_EQ(StartBatch(), console::BatchOutcome::Succeeded);
  ASSERT_EQ(ports.prompts.shown.size(), 1u);
  EXPECT_EQ(ports.prompts.shown[0].text.rfind("アップデート チェッカーに登録できませんでした。", 0),
            0u);
  EXPECT_EQ(Read("tarnwick.reg"), kFooText);
}

TEST_F(StartupTest, CancelledExportRestoresTheRegFileAndSavesItemChanges) {
  Write("tarnwick.dat",
        DataFile(std::string(kGoneItem) + kFooItem, "RegEditVer=4\r\nCreateBackup=1\r\n"));
  Write("tarnwick.reg", "earlier");
  Write("tarnwick.reg.bak", "older");
  ports.progress.cancelAtCheck = 3;  // the pre-check, the missing item, then foo's value
  EXPECT_EQ(StartBatch(), console::BatchOutcome::Cancelled);
  EXPECT_EQ(Read("tarnwick.reg"), "earlier");
  EXPECT_EQ(Read("tarnwick.reg.bak"), "older");
  EXPECT_NE(Read("tarnwick.dat").find("gone=HKCU\\Software\\Gone,,1"), std::string::npos);
  EXPECT_EQ(Texts().back(), "書き出しを中止しました。");
}

TEST_F(StartupTest, CancelRequestedDuringStartUpSkipsTheExport) {
  Write("tarnwick.dat", DataFile(kFooItem));
  ports.progress.cancelAtCheck = 1;
  EXPECT_EQ(StartBatch(), console::BatchOutcome::Cancelled);
  EXPECT_FALSE(FileExists(dir.File("tarnwick.reg")));
}

TEST_F(StartupTest, AFailedSaveOutranksAnIncompleteBackup) {
  ports.store.SetDword("HKCU\\Software\\Foo\\Locked", "v", 1);
  ports.store.SetUnreadable("HKCU\\Software\\Foo\\Locked");
  std::string data = DataFile(kFooItem);
  Write("tarnwick.dat", data.replace(data.find("205"), 3, "204"));
  chmod(dir.File("tarnwick.dat").c_str(), 0444);
  EXPECT_EQ(StartBatch(), console::BatchOutcome::SaveFailed);
  EXPECT_EQ(Texts().front().substr(0, Texts().front().find(':')),
            "バックアップにはすべてが入っていません");
}

TEST_F(StartupTest, AFailedExportOutranksAFailedSave) {
  // An older version number makes the save necessary.
  std::string data = DataFile(kFooItem, "RegEditVer=4\r\nRegFileName=no/such/out\r\n");
  Write("tarnwick.dat", data.replace(data.find("205"), 3, "204"));
  chmod(dir.File("tarnwick.dat").c_str(), 0444);
  EXPECT_EQ(StartBatch(), console::BatchOutcome::ExportFailed);
}

}  // namespace
}  // namespace tarnwick::test

// Every way a batch run can fail: its exit status, its message on standard
// error, and that it loses nothing.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "backitem/startup.h"
#include "e2e_support.h"
#include "platform/single_instance.h"

namespace tarnwick::e2e {
namespace {

constexpr const char* kFixture =
    "[Software\\\\Fixture\\\\Viewer] 1733600000\n"
    "\"Zoom\"=dword:00000064\n\n";
constexpr const char* kItems =
    "viewer=HKCU\\Software\\Fixture\\Viewer,,0\n"
    "gone=HKCU\\Software\\Fixture\\Gone,,0\n";

class ExitStatusTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    WriteUserReg(kFixture);
    WriteData(kItems, "RegEditVer=5\nCreateBackup=1\n");
    dataBefore = Read(data);
  }

  // Nothing was written: no REG file, the data file as it was.
  void ExpectNothingWritten() {
    EXPECT_FALSE(Exists("items.reg"));
    EXPECT_EQ(Read(data), dataBefore);
  }

  std::string dataBefore;
};

TEST_F(ExitStatusTest, CommandLineErrorsAreStatus2) {
  const std::vector<std::vector<std::string>> wrong{
      {"-x"}, {"-"}, {"--w"}, {"-wq"}, {"-w", "-x", ""}};
  for (const auto& arguments : wrong) {
    SCOPED_TRACE(arguments.back());
    std::vector<std::string> all = arguments;
    all.insert(all.end(), {"-i" + settings, data});
    Outcome outcome = Run(all);
    EXPECT_EQ(outcome.exitCode, 2) << outcome;
    // No usage text: standard error is not a terminal here.
    EXPECT_EQ(outcome.err, "tarnwick: 起動オプションに誤りがあります。\n");
    ExpectNothingWritten();
  }
}

// An X platform asked for without a display to draw on is no display either.
TEST_F(ExitStatusTest, TheWindowWithoutADisplayIsStatus7) {
  for (const char* platform : {"", "xcb"}) {
    SCOPED_TRACE(platform);
    environment["QT_QPA_PLATFORM"] = platform;
    Outcome outcome = Run({"-i" + settings, "-r" + prefix, data});
    EXPECT_EQ(outcome.exitCode, 7) << outcome;
    EXPECT_EQ(outcome.err,
              "tarnwick: ディスプレイがないので、ウィンドウを開けません。一括書き出しには -w "
              "を指定してください。\n");
    ExpectNothingWritten();
  }
}

TEST_F(ExitStatusTest, ASecondCopyIsStatus6WhateverItsEnvironment) {
  int fd =
      open(platform::DefaultLockPath(kProgramName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  Outcome outcome = RunBatch();
  EXPECT_EQ(outcome.exitCode, 6) << outcome;
  EXPECT_EQ(outcome.err, "tarnwick: このプログラムを複数同時に起動することはできません。\n");
  // A cron job and a terminal session differ in XDG_RUNTIME_DIR; the lock does not.
  environment["XDG_RUNTIME_DIR"] = Path("home");
  EXPECT_EQ(RunBatch().exitCode, 6);
  ExpectNothingWritten();

  close(fd);  // the other copy ends
  EXPECT_EQ(RunBatch().exitCode, 0);
}

TEST_F(ExitStatusTest, AMissingRegistrySourceIsStatus5AndMarksNothing) {
  prefix = Path("no-such-prefix");
  Outcome outcome = RunBatch();
  EXPECT_EQ(outcome.exitCode, 5) << outcome;
  EXPECT_EQ(outcome.err,
            "tarnwick: Wine のプレフィックス フォルダーが見つかりません: " + prefix + "\n");
  ExpectNothingWritten();  // "gone" would have been exempted
}

TEST_F(ExitStatusTest, AFolderWithoutRegistryFilesIsStatus5) {
  std::filesystem::remove(prefix + "/user.reg");
  Outcome outcome = RunBatch();
  EXPECT_EQ(outcome.exitCode, 5) << outcome;
  EXPECT_NE(outcome.err.find(prefix), std::string::npos);
  ExpectNothingWritten();
}

TEST_F(ExitStatusTest, AMissingDataFileIsANewListAndSaidOnStandardError) {
  std::filesystem::remove(data);
  Outcome outcome = RunBatch();
  EXPECT_EQ(outcome.exitCode, 0) << outcome;
  EXPECT_NE(outcome.err.find(data), std::string::npos);
  EXPECT_TRUE(Exists(data));  // a new list is created, as the window would
  EXPECT_EQ(Read(data).find("[BackupItems]"), std::string::npos);
  EXPECT_FALSE(Exists("items.reg"));
}

TEST_F(ExitStatusTest, AnUnreadableDataFileIsStatus4AndKept) {
  WriteData("broken=alone\n", "RegEditVer=5\n");
  dataBefore = Read(data);
  Outcome outcome = RunBatch();
  EXPECT_EQ(outcome.exitCode, 4) << outcome;
  EXPECT_NE(outcome.err.find("tarnwick: 読み込みエラー: ファイル '" + data + "' が開けません。\n"),
            std::string::npos);
  EXPECT_NE(outcome.err.find("[キャンセル]"), std::string::npos);  // nobody could answer
  ExpectNothingWritten();
}

TEST_F(ExitStatusTest, AMissingOutputFolderIsStatus1AndKeepsItemChanges) {
  // Per item, an item without keys is settled before the first file fails.
  WriteData("empty=,0\nviewer=HKCU\\Software\\Fixture\\Viewer,,0\n",
            "RegEditVer=5\nSeparate=1\nRegFileName=no/such/folder/out\n");
  Outcome outcome = RunBatch();
  EXPECT_EQ(outcome.exitCode, 1) << outcome;
  EXPECT_EQ(
      outcome.err,
      "tarnwick: アイテム 'empty' のキーはどれも、存在しないかアクセスできません: (キーなし)\n"
      "tarnwick: 書き出し先のフォルダーがありません: " +
          Path("no/such/folder/") + "\ntarnwick: 書き出し先: " + Path("no/such/folder/") + "\n");
  EXPECT_NE(Read(data).find("empty=,1\r\n"), std::string::npos);
}

TEST_F(ExitStatusTest, WhatIsNotARegularFileIsNeverReplacedAsOutput) {
  WriteData(kItems, "RegEditVer=5\nCreateBackup=1\n");
  std::filesystem::create_directory(Path("items.reg"));
  Outcome outcome = RunBatch();
  EXPECT_EQ(outcome.exitCode, 1) << outcome;
  EXPECT_NE(
      outcome.err.find("通常のファイルではないので、書き出しに使えません: " + Path("items.reg")),
      std::string::npos)
      << outcome;
  EXPECT_TRUE(std::filesystem::is_directory(Path("items.reg")));
  // A device: as root, replacing it would unlink the device node.
  std::filesystem::remove(Path("items.reg"));
  ASSERT_EQ(symlink("/dev/null", Path("items.reg").c_str()), 0);
  EXPECT_EQ(RunBatch().exitCode, 1);
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
  EXPECT_FALSE(Exists("items.reg.bak"));
}

TEST_F(ExitStatusTest, TheProgramsOwnInputsAreNeverOutput) {
  for (const std::string& input : {data, prefix + "/user.reg"}) {
    SCOPED_TRACE(input);
    std::string before = Read(input);
    WriteData(kItems, "RegEditVer=5\nRegFileName=" + input + "\n");
    Outcome outcome = RunBatch();
    EXPECT_EQ(outcome.exitCode, 1) << outcome;
    EXPECT_NE(outcome.err.find("プログラムが読み込むファイルなので"), std::string::npos) << outcome;
    if (input != data) {
      EXPECT_EQ(Read(input), before);
    }
  }
}

TEST_F(ExitStatusTest, AReadOnlyOutputFolderIsStatus1AndKeepsTheWritableFileInIt) {
  std::filesystem::create_directory(Path("locked"));
  WriteData(kItems, "RegEditVer=5\nCreateBackup=1\nRegFileName=locked/out\n");
  test::WriteFileBytes(Path("locked/out.reg"), "earlier");
  OpenToEveryone();
  chmod(Path("locked").c_str(), 0555);
  Outcome outcome = RunUnprivileged(BatchArguments());
  EXPECT_EQ(outcome.exitCode, 1) << outcome;
  EXPECT_NE(outcome.err.find("ファイルへのアクセスが拒否されました"), std::string::npos) << outcome;
  EXPECT_EQ(Read("locked/out.reg"), "earlier");
  EXPECT_FALSE(Exists("locked/out.reg.bak"));
}

TEST_F(ExitStatusTest, PassingTheSizeCapIsStatus1AndRestoresTheEarlierFiles) {
  // 10 x 900 Ki characters of REG_EXPAND_SZ: about 108 MiB as version 5 hex(2).
  test::WriteFileBytes(prefix + "/user.reg", BigValuesUserReg(10, 900 * 1024));
  WriteData("big=HKCU\\Software\\Big,,0\n", "RegEditVer=5\nCreateBackup=1\n");
  test::WriteFileBytes(Path("items.reg"), "earlier");
  test::WriteFileBytes(Path("items.reg.bak"), "older");
  Outcome outcome = RunBatch();
  EXPECT_EQ(outcome.exitCode, 1) << outcome;
  EXPECT_NE(
      outcome.err.find("tarnwick: REGファイルが100Miバイトを超えたので、書き出しを中止します\n"),
      std::string::npos);
  EXPECT_EQ(Read("items.reg"), "earlier");
  EXPECT_EQ(Read("items.reg.bak"), "older");
}

TEST_F(ExitStatusTest, AFailedSaveIsStatus3AfterTheExport) {
  chmod(data.c_str(), 0444);  // refused by mode, even for root
  Outcome outcome = RunBatch();
  EXPECT_EQ(outcome.exitCode, 3) << outcome;
  EXPECT_NE(outcome.err.find("tarnwick: 保存エラー: ファイル '" + data +
                             "' が保存できません。\n"
                             "tarnwick: 保存エラー: ファイルへのアクセスが拒否されました\n"),
            std::string::npos)
      << outcome;
  EXPECT_TRUE(Exists("items.reg"));
  EXPECT_EQ(Read(data), dataBefore);
}

TEST_F(ExitStatusTest, ABackupThatDoesNotHoldEverythingIsStatus8AndSaysWhat) {
  WriteUserReg(
      std::string(kFixture) +
      "[Software\\\\Fixture\\\\Viewer\\\\\\x9dd7] 1733600000\n\"\\xd842\\xdfb7\"=\"ok\"\n\n");
  WriteData("viewer=HKCU\\Software\\Fixture\\Viewer,,0\n", "RegEditVer=4\n");
  Outcome outcome = RunBatch();
  EXPECT_EQ(outcome.exitCode, 8) << outcome;
  const std::string key = "HKEY_CURRENT_USER\\Software\\Fixture\\Viewer\\鷗";
  EXPECT_EQ(outcome.err,
            "tarnwick: バックアップにはすべてが入っていません:\n"
            "tarnwick: Shift-JIS にない文字を ? にしました: " +
                key +
                "\n"
                "tarnwick: Shift-JIS にない文字を ? にしました: " +
                key +
                " の値 '𠮷'\n"
                "tarnwick: 検証済み: キー 2、値 2\n");
  // The REG file is as it always was: '?' where Shift-JIS has no character.
  EXPECT_NE(Read("items.reg").find("\\Viewer\\?]\r\n\"?\"=\"ok\""), std::string::npos);
}

TEST_F(ExitStatusTest, ARunThatFindsNoKeyKeepsTheEarlierFile) {
  WriteData("gone=HKCU\\Software\\Fixture\\Gone,,0\n", "RegEditVer=5\n");  // no backup
  test::WriteFileBytes(Path("items.reg"), "earlier");
  EXPECT_EQ(RunBatch().exitCode, 0);
  EXPECT_EQ(Read("items.reg"), "earlier");
  // The development tool writes through the same steps.
  program = TARNWICK_REGEXPORT;
  Outcome outcome = Run({"-r", prefix, "-o", Path("items.reg"), "HKCU\\Software\\Fixture\\Gone"});
  EXPECT_EQ(outcome.exitCode, 1) << outcome;
  EXPECT_EQ(Read("items.reg"), "earlier");
  const std::string userReg = Read("prefix/user.reg");
  outcome = Run({"-r", prefix, "-o", prefix + "/user.reg", "HKCU\\Software\\Fixture\\Viewer"});
  EXPECT_EQ(outcome.exitCode, 1) << outcome;
  EXPECT_NE(outcome.err.find("プログラムが読み込むファイルなので"), std::string::npos) << outcome;
  EXPECT_EQ(Read("prefix/user.reg"), userReg);
}

}  // namespace
}  // namespace tarnwick::e2e

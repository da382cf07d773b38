// Ctrl-C and SIGTERM in the middle of a long export: the run is cancelled,
// the earlier REG file and its backup come back, item changes already made
// are saved, and the exit status is 128 + the signal. A killed run leaves no lock.
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "e2e_support.h"

namespace tarnwick::e2e {
namespace {

// Enough keys that the export runs for well over a second in a release build.
constexpr int kKeys = 300000;

class CancelTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    test::WriteFileBytes(prefix + "/user.reg", ManyKeysUserReg(kKeys));
    // One file per item: the item without keys is settled before the slow
    // item's file is begun, so it is settled when the signal comes.
    WriteData("empty=,0\nslow=HKCU\\Software\\Slow,,0\n",
              "RegEditVer=5\nCreateBackup=1\nSeparate=1\n");
    test::WriteFileBytes(Path("Slow.reg"), "earlier");
    test::WriteFileBytes(Path("Slow.reg.bak"), "older");
  }

  // Starts a run and returns once it is writing the REG file, under its
  // temporary name until the file is complete. -1 when the run ended first.
  pid_t StartExport(const std::vector<std::string>& arguments) {
    pid_t pid = Start(arguments);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!Exists("Slow.reg.tarnwick-tmp")) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) {
        ADD_FAILURE() << "the run ended (status " << status << ") before it was interrupted:\n"
                      << Read("stderr.txt");
        return -1;
      }
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        ADD_FAILURE() << "the export never started";
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return pid;
  }

  void ExpectCancelledBy(int signo, const Outcome& outcome) {
    EXPECT_EQ(outcome.exitCode, 128 + signo) << outcome;
    EXPECT_NE(outcome.err.find("tarnwick: 書き出しを中止しました。\n"), std::string::npos);
    EXPECT_EQ(Read("Slow.reg"), "earlier");
    EXPECT_EQ(Read("Slow.reg.bak"), "older");
    EXPECT_FALSE(Exists("Slow.reg.bak.tmp"));
    EXPECT_FALSE(Exists("Slow.reg.tarnwick-tmp"));
    EXPECT_NE(Read(data).find("empty=,1\r\n"), std::string::npos);  // saved after the cancel
  }
};

TEST_F(CancelTest, CtrlCCancelsEvenWithTheDisplayOff) {
  pid_t pid = StartExport(BatchArguments({"-p"}));
  ASSERT_GT(pid, 0);
  kill(pid, SIGINT);
  ExpectCancelledBy(SIGINT, Wait(pid));
}

TEST_F(CancelTest, SigtermCancels) {
  pid_t pid = StartExport(BatchArguments());
  ASSERT_GT(pid, 0);
  kill(pid, SIGTERM);
  ExpectCancelledBy(SIGTERM, Wait(pid));
}

TEST_F(CancelTest, AKilledRunLeavesNoLockBehind) {
  pid_t pid = StartExport(BatchArguments());
  ASSERT_GT(pid, 0);
  kill(pid, SIGKILL);
  EXPECT_EQ(Wait(pid).signal, SIGKILL);
  // The earlier file and its backup are as they were; the next run takes
  // the lock, removes the killed run's half file and keeps one backup.
  EXPECT_EQ(Read("Slow.reg"), "earlier");
  EXPECT_EQ(Read("Slow.reg.bak"), "older");
  WriteUserReg("[Software\\\\Slow] 1733600000\n\"v\"=dword:00000001\n\n");
  Outcome next = RunBatch();
  EXPECT_EQ(next.exitCode, 0) << next;
  EXPECT_EQ(Read("Slow.reg.bak"), "earlier");
  EXPECT_FALSE(Exists("Slow.reg.tarnwick-tmp"));
}

TEST_F(CancelTest, ACancelInTheSecondItemKeepsTheFirstWholeAndNoPartOfTheSecond) {
  WriteData("viewer=HKCU\\Software\\Slow\\K000\\S000000,,0\nslow=HKCU\\Software\\Slow,,0\n",
            "RegEditVer=4\nFullRestore=1\nRegFileName=Slow.reg\n");
  pid_t pid = Start(BatchArguments());
  // The first item is complete once the second has begun to fill the file.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!(Exists("Slow.reg.tarnwick-tmp") && Read("Slow.reg.tarnwick-tmp").size() > 200000)) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  kill(pid, SIGTERM);
  Outcome outcome = Wait(pid);
  EXPECT_EQ(outcome.exitCode, 128 + SIGTERM) << outcome;
  EXPECT_EQ(Read("Slow.reg"),
            "REGEDIT4\r\n\r\n"
            "[-HKEY_CURRENT_USER\\Software\\Slow\\K000\\S000000]\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Slow\\K000\\S000000]\r\n"
            "\"v\"=dword:00000000\r\n\r\n");
}

}  // namespace
}  // namespace tarnwick::e2e

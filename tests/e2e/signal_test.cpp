// Ctrl-C and SIGTERM in the middle of a long export: the run is cancelled,
// the earlier REG file and its backup come back, item changes already made
// are saved, and the exit status is 128 + the signal. A killed run leaves no lock.
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "e2e_support.h"
#include "same_bytes.h"

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

  // Sends signo to the stopped run and lets it go on.
  static void SignalStopped(pid_t pid, int signo) {
    kill(pid, signo);
    kill(pid, SIGCONT);
  }

  // The slow item's file is begun and, under its temporary name, not complete.
  bool WritingSlowFile() const { return Exists("Slow.reg.tarnwick-tmp"); }

  void ExpectCancelledBy(int signo, const Outcome& outcome) {
    EXPECT_EQ(outcome.exitCode, 128 + signo) << outcome;
    EXPECT_NE(outcome.err.find("tarnwick: 書き出しを中止しました。\n"), std::string::npos);
    EXPECT_TRUE(test::SameBytes("earlier", Read("Slow.reg")));
    EXPECT_TRUE(test::SameBytes("older", Read("Slow.reg.bak")));
    EXPECT_FALSE(Exists("Slow.reg.bak.tmp"));
    EXPECT_FALSE(Exists("Slow.reg.tarnwick-tmp"));
    EXPECT_NE(Read(data).find("empty=,1\r\n"), std::string::npos);  // saved after the cancel
  }
};

TEST_F(CancelTest, CtrlCCancelsEvenWithTheDisplayOff) {
  pid_t pid = Start(BatchArguments({"-p"}));
  ASSERT_TRUE(StopWhen(pid, [this] { return WritingSlowFile(); }));
  SignalStopped(pid, SIGINT);
  ExpectCancelledBy(SIGINT, Wait(pid));
}

TEST_F(CancelTest, SigtermCancels) {
  pid_t pid = Start(BatchArguments());
  ASSERT_TRUE(StopWhen(pid, [this] { return WritingSlowFile(); }));
  SignalStopped(pid, SIGTERM);
  ExpectCancelledBy(SIGTERM, Wait(pid));
}

TEST_F(CancelTest, AKilledRunLeavesNoLockBehind) {
  pid_t pid = Start(BatchArguments());
  ASSERT_TRUE(StopWhen(pid, [this] { return WritingSlowFile(); }));
  kill(pid, SIGKILL);
  EXPECT_EQ(Wait(pid).signal, SIGKILL);
  // The earlier file and its backup are as they were; the next run takes
  // the lock, removes the killed run's half file and keeps one backup.
  EXPECT_TRUE(test::SameBytes("earlier", Read("Slow.reg")));
  EXPECT_TRUE(test::SameBytes("older", Read("Slow.reg.bak")));
  WriteUserReg("[Software\\\\Slow] 1733600000\n\"v\"=dword:00000001\n\n");
  Outcome next = RunBatch();
  EXPECT_EQ(next.exitCode, 0) << next;
  EXPECT_TRUE(test::SameBytes("earlier", Read("Slow.reg.bak")));
  EXPECT_FALSE(Exists("Slow.reg.tarnwick-tmp"));
}

TEST_F(CancelTest, ACancelInTheSecondItemKeepsTheFirstWholeAndNoPartOfTheSecond) {
  WriteData("viewer=HKCU\\Software\\Slow\\K000\\S000000,,0\nslow=HKCU\\Software\\Slow,,0\n",
            "RegEditVer=4\nFullRestore=1\nRegFileName=Slow.reg\n");
  pid_t pid = Start(BatchArguments());
  // The first item is complete once the second has filled the file past
  // what any buffer holds; the file is not complete while it has its
  // temporary name.
  ASSERT_TRUE(StopWhen(pid, [this] {
    std::error_code error;
    auto size = std::filesystem::file_size(Path("Slow.reg.tarnwick-tmp"), error);
    return !error && size > 200000;
  }));
  SignalStopped(pid, SIGTERM);
  Outcome outcome = Wait(pid);
  EXPECT_EQ(outcome.exitCode, 128 + SIGTERM) << outcome;
  EXPECT_TRUE(
      test::SameBytes("REGEDIT4\r\n\r\n"
                      "[-HKEY_CURRENT_USER\\Software\\Slow\\K000\\S000000]\r\n\r\n"
                      "[HKEY_CURRENT_USER\\Software\\Slow\\K000\\S000000]\r\n"
                      "\"v\"=dword:00000000\r\n\r\n",
                      Read("Slow.reg")));
}

}  // namespace
}  // namespace tarnwick::e2e

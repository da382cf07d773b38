// Cancel signals: recorded for the export's next check, or, before the
// export, ending the process at once with 128 + the signal's number.
#include "console/cancel_signals.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarnwick::console {
namespace {

// The exit status of a child that installs the handlers and raises SIGTERM.
int StatusOfChildRaisingSigterm(bool atOnce) {
  pid_t pid = fork();
  if (pid == 0) {
    InstallCancelSignals();
    SetCancelEndsAtOnce(atOnce);
    raise(SIGTERM);
    _exit(ReceivedCancelSignal());  // reached only when the signal was recorded
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CancelSignalsTest, RecordedDuringTheExportAndEndingTheRunBeforeIt) {
  EXPECT_EQ(StatusOfChildRaisingSigterm(false), SIGTERM);
  EXPECT_EQ(StatusOfChildRaisingSigterm(true), 128 + SIGTERM);
}

}  // namespace
}  // namespace tarnwick::console

#include "console/cancel_signals.h"

#include <signal.h>
#include <unistd.h>

namespace tarnwick::console {
namespace {

volatile sig_atomic_t g_received = 0;
volatile sig_atomic_t g_endAtOnce = 0;

void OnCancelSignal(int signo) {
  if (g_endAtOnce) _exit(CancelledExitStatus(signo));
  if (g_received == 0) g_received = signo;
}

void Catch(int signo) {
  struct sigaction old {};
  if (sigaction(signo, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) return;
  struct sigaction action {};
  action.sa_handler = OnCancelSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // file operations go on; the export checks the flag
  sigaction(signo, &action, nullptr);
}

}  // namespace

void SetCancelEndsAtOnce(bool atOnce) {
  g_endAtOnce = atOnce;
}

void InstallCancelSignals() {
  Catch(SIGINT);
  Catch(SIGTERM);
  Catch(SIGHUP);
  signal(SIGPIPE, SIG_IGN);
}

int ReceivedCancelSignal() {
  return g_received;
}

int CancelledExitStatus(int signo) {
  return 128 + signo;
}

}  // namespace tarnwick::console

#include "console/cancel_signals.h"

#include <signal.h>
#include <unistd.h>

#include "platform/console.h"

namespace tarnwick::console {
namespace {

volatile sig_atomic_t g_received = 0;
volatile sig_atomic_t g_endAtOnce = 0;

void OnCancelSignal(int signo) {
  if (g_endAtOnce) _exit(CancelledExitStatus(signo));
  if (g_received == 0) g_received = signo;
}

}  // namespace

void SetCancelEndsAtOnce(bool atOnce) {
  g_endAtOnce = atOnce;
}

void InstallCancelSignals() {
  platform::InstallCancelHandler(OnCancelSignal);
}

int ReceivedCancelSignal() {
  return g_received;
}

int CancelledExitStatus(int signo) {
  return 128 + signo;
}

}  // namespace tarnwick::console

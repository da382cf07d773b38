#include "console/cancel_signals.h"

#include <signal.h>
#include <unistd.h>
#ifdef _WIN32
#include <windows.h>
#endif

namespace tarnwick::console {
namespace {

volatile sig_atomic_t g_received = 0;
volatile sig_atomic_t g_endAtOnce = 0;

void OnCancelSignal(int signo) {
  if (g_endAtOnce) _exit(CancelledExitStatus(signo));
  if (g_received == 0) g_received = signo;
}

#ifdef _WIN32
// Ctrl+C, Ctrl+Break and closing the console window, as the signals that
// stand for them elsewhere.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  OnCancelSignal(event == CTRL_C_EVENT ? SIGINT : event == CTRL_BREAK_EVENT ? SIGBREAK : SIGTERM);
  return TRUE;
}
#else
void Catch(int signo) {
  struct sigaction old {};
  if (sigaction(signo, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) return;
  struct sigaction action {};
  action.sa_handler = OnCancelSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // file operations go on; the export checks the flag
  sigaction(signo, &action, nullptr);
}
#endif

}  // namespace

void SetCancelEndsAtOnce(bool atOnce) {
  g_endAtOnce = atOnce;
}

void InstallCancelSignals() {
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
  Catch(SIGINT);
  Catch(SIGTERM);
  Catch(SIGHUP);
  signal(SIGPIPE, SIG_IGN);
#endif
}

int ReceivedCancelSignal() {
  return g_received;
}

int CancelledExitStatus(int signo) {
  return 128 + signo;
}

}  // namespace tarnwick::console

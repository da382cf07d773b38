#include <io.h>
#include <signal.h>
#include <windows.h>

#include "platform/console.h"

namespace tarnwick::platform {
namespace {

void (*g_onCancel)(int) = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event) {
  g_onCancel(event == CTRL_C_EVENT ? SIGINT : event == CTRL_BREAK_EVENT ? SIGBREAK : SIGTERM);
  return TRUE;
}

}  // namespace

int TerminalColumns(int fd) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (GetConsoleScreenBufferInfo(console, &info)) {
    return info.srWindow.Right - info.srWindow.Left + 1;
  }
  return 80;
}

void OpenMissingStandardFiles() {}

void InstallCancelHandler(void (*onCancel)(int)) {
  g_onCancel = onCancel;
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

}  // namespace tarnwick::platform

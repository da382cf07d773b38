#include "app/caller_console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

namespace tarnwick::app {
namespace {

bool Leads(DWORD which) {
  HANDLE handle = GetStdHandle(which);
  return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// The C runtime's descriptor fd (and with it stdout or stderr) on the console.
void OpenOnConsole(DWORD which, int fd) {
  HANDLE console =
      CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (console == INVALID_HANDLE_VALUE) return;
  int opened = _open_osfhandle(reinterpret_cast<intptr_t>(console), _O_WRONLY);
  if (opened < 0) {
    CloseHandle(console);
    return;
  }
  if (_dup2(opened, fd) == 0) SetStdHandle(which, reinterpret_cast<HANDLE>(_get_osfhandle(fd)));
  _close(opened);
}

}  // namespace

bool UseCallersConsole() {
  const bool out = Leads(STD_OUTPUT_HANDLE);
  const bool err = Leads(STD_ERROR_HANDLE);
  if ((!out || !err) && AttachConsole(ATTACH_PARENT_PROCESS)) {
    if (!out) OpenOnConsole(STD_OUTPUT_HANDLE, 1);
    if (!err) OpenOnConsole(STD_ERROR_HANDLE, 2);
  }
  return Leads(STD_ERROR_HANDLE);
}

}  // namespace tarnwick::app

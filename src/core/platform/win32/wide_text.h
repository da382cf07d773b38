// What every Win32 call of the platform layer shares: UTF-8 paths and names
// turned into the UTF-16 the W functions take, and Windows errors turned
// into the errno values the rest of the program reports.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tarnwick::platform {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);
int ErrnoFromWin32(DWORD error);
inline int LastErrno() {
  return ErrnoFromWin32(GetLastError());
}

}  // namespace tarnwick::platform

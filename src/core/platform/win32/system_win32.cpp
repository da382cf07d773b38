// Windows: its own API for the program file, its version resource and the
// system's version.
#include <windows.h>
// These need the declarations of windows.h.
#include <shlobj.h>
#include <versionhelpers.h>

#include <vector>

#include "platform/system.h"
#include "platform/win32/wide_text.h"

namespace tarnwick::platform {

std::string RunningProgramPath(const char* argv0) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return argv0 ? argv0 : "tarnwick.exe";
    if (n < buffer.size()) return Narrow(std::wstring_view(buffer.data(), n));
    buffer.resize(buffer.size() * 2);
  }
}

uint32_t ProgramBuildNumber(const std::string& programPath) {
  std::wstring path = Widen(programPath);
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  std::vector<char> block(size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, block.data()) ||
      !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    return TARNWICK_BUILD;
  }
  return LOWORD(info->dwProductVersionLS);
}

int NativeRegEditVersion() {
  // NT 5.0 (Windows 2000) and later import version 5; the 9x family REGEDIT4.
  return IsWindowsVersionOrGreater(5, 0, 0) ? 5 : 4;
}

std::string HomeFolder() {
  return "";
}

std::string WorkingDir() {
  return "";  // relative names are taken from the program's folder
}

std::string ConfigDir() {
  wchar_t* folder = nullptr;
  std::string result;
  if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &folder) == S_OK) {
    result = Narrow(folder) + "\\Tarnwick\\";
  }
  CoTaskMemFree(folder);
  return result;
}

}  // namespace tarnwick::platform

// Windows: the path services the Windows path rules ask of the system.
#include <windows.h>

#include "platform/paths.h"
#include "platform/win32/wide_text.h"

namespace tarnwick::platform {

std::string WinFullPathName(std::string_view path) {
  std::wstring wide = Widen(path);
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return std::string(path);
  std::wstring full(size, L'\0');
  size = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  full.resize(size);
  return Narrow(full);
}

std::optional<std::string> WinFindEntry(std::string_view folder, std::string_view name) {
  // A wildcard would find some other entry.
  if (name.empty() || name.find_first_of("*?") != std::string_view::npos) return std::nullopt;
  WIN32_FIND_DATAW entry;
  std::wstring pattern = Widen(std::string(folder) + std::string(name));
  HANDLE find = FindFirstFileW(pattern.c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return std::nullopt;
  FindClose(find);
  return Narrow(entry.cFileName);
}

}  // namespace tarnwick::platform

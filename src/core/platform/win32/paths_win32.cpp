// Windows: the path services the Windows path rules ask of the system.
#include "common/path_utils.h"
#include "platform/win32/wide_text.h"

namespace tarnwick {
namespace {

class Win32PathSystem : public WinPathSystem {
 public:
  // GetFullPathNameW resolves "D:x" against drive D's current folder.
  std::string FullPathName(std::string_view path) const override {
    std::wstring wide = platform::Widen(path);
    DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) return std::string(path);
    std::wstring full(size, L'\0');
    size = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    full.resize(size);
    return platform::Narrow(full);
  }

  std::optional<std::string> FindEntry(std::string_view folder,
                                       std::string_view name) const override {
    // A wildcard would find some other entry.
    if (name.empty() || name.find_first_of("*?") != std::string_view::npos) return std::nullopt;
    WIN32_FIND_DATAW entry;
    std::wstring pattern = platform::Widen(std::string(folder) + std::string(name));
    HANDLE find = FindFirstFileW(pattern.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return std::nullopt;
    FindClose(find);
    return platform::Narrow(entry.cFileName);
  }
};

}  // namespace

const WinPathSystem& NativeWinPathSystem() {
  static const Win32PathSystem system;
  return system;
}

}  // namespace tarnwick

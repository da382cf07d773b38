// POSIX names follow the POSIX rules: the Windows rules' services are never
// asked for here.
#include "platform/paths.h"

namespace tarnwick::platform {

std::string WinFullPathName(std::string_view path) {
  return std::string(path);
}

std::optional<std::string> WinFindEntry(std::string_view, std::string_view) {
  return std::nullopt;
}

}  // namespace tarnwick::platform

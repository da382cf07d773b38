// What the Windows path rules ask of the system: the full form of a path and
// the stored name of a folder entry. Only the Windows build calls these.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::platform {

// GetFullPathNameW: '/' becomes '\', "." and ".." go, "D:x" resolves against
// drive D's current folder. Elsewhere the path as given.
std::string WinFullPathName(std::string_view path);
// The stored name of the entry called name (any letter case) in folder,
// which ends with '\'; nullopt when there is none, and elsewhere.
std::optional<std::string> WinFindEntry(std::string_view folder, std::string_view name);

}  // namespace tarnwick::platform

// Finding the files of a Windows installation in a folder on Linux. An NTFS
// volume mounted on Linux, or a copy of one, may spell names in any case, so
// every name is looked up as Windows would: case-insensitively.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace tarnwick {

// The path of the entry of dir named name in any case, the exact spelling
// first; empty when there is none.
std::string FindEntry(const std::string& dir, std::string_view name);
// Follows names below dir one by one as FindEntry does; empty when one is
// missing.
std::string FindPath(const std::string& dir, std::span<const std::string_view> names);

struct WindowsInstallation {
  std::string root;       // what C:\ was: the profile paths start here; empty for a copy of config
  std::string windows;    // %SystemRoot%; empty for a copy of config
  std::string config;     // %SystemRoot%\System32\config, where the machine's hives are
  char16_t drive = u'C';  // the drive Windows was on, as SOFTWARE names it
};

// Recognizes dir as a Windows installation: the folder that holds
// Windows/System32/config/SOFTWARE, that Windows folder itself (then its
// parent is the root), or a copy of the config folder (config/SOFTWARE, or
// SOFTWARE itself in a folder that is no Wine prefix), which has no user
// profiles. SOFTWARE is recognized whatever kind of file it is, so that one
// that cannot be read is refused by name. False when dir is none of these.
bool FindWindowsInstallation(const std::string& dir, WindowsInstallation& found);

}  // namespace tarnwick

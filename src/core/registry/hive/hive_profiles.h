// The user profiles of an offline Windows installation, as its SOFTWARE hive
// lists them under Microsoft\Windows NT\CurrentVersion\ProfileList\<SID>:
// the value ProfileImagePath names the profile folder (C:\Users\taro,
// %SystemDrive%\Users\taro), which is looked up inside the installation
// folder, each name in any case.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "registry/hive/hive_folder.h"
#include "registry/hive/hive_namespace.h"

namespace tarnwick {

struct HiveProfile {
  std::string sid;
  std::string folderName;      // the profile folder's name as on disk: what -u names
  std::string userHive;        // NTUSER.DAT; empty when the profile cannot be read
  std::string classesHive;     // UsrClass.dat; empty when there is none
  std::string missing;         // without NTUSER.DAT: why, naming the profile
  std::string classesMissing;  // UsrClass.dat is there but not to be read: why
};

// The profiles of the list, in its order; those whose NTUSER.DAT is not
// there, not inside the installation folder (on another drive, or behind a
// symbolic link that leads out of it) have only a reason. Entries that are
// not plain SIDs (Windows keeps "<SID>.bak" for a profile it could not load)
// are left out.
std::vector<HiveProfile> FindProfiles(const HiveNamespace& registry, HiveRef software,
                                      const WindowsInstallation& installation);

// The drive Windows was on, from SOFTWARE's CurrentVersion\SystemRoot; C
// when it does not say.
char16_t SystemDrive(const HiveNamespace& registry, HiveRef software);

// The folder a ProfileImagePath names, inside the installation: Windows'
// drive (or %SystemDrive%) is the installation folder, %SystemRoot% and
// %windir% its Windows folder. Empty when a name is missing, another drive
// or variable is used, or the installation has no root.
std::string ProfileFolder(std::u16string_view imagePath, const WindowsInstallation& installation);

// True for the SIDs of people's accounts (S-1-5-21-...), as opposed to the
// system's own profiles.
bool IsUserSid(std::string_view sid);

}  // namespace tarnwick

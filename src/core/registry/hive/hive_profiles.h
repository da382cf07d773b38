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
  std::string folderName;   // the profile folder's name as on disk: what -u names
  std::string userHive;     // NTUSER.DAT
  std::string classesHive;  // UsrClass.dat; empty when there is none
};

// The profiles whose folder and NTUSER.DAT are there, in the list's order.
// Entries that are not plain SIDs (Windows keeps "<SID>.bak" for a profile
// it could not load) are left out.
std::vector<HiveProfile> FindProfiles(const HiveNamespace& registry, HiveRef software,
                                      const WindowsInstallation& installation);

// The folder a ProfileImagePath names, inside the installation: the drive
// (or %SystemDrive%) is the installation folder, %SystemRoot% and %windir%
// its Windows folder. Empty when a name is missing or another variable is
// used.
std::string ProfileFolder(std::u16string_view imagePath, const WindowsInstallation& installation);

// True for the SIDs of people's accounts (S-1-5-21-...), as opposed to the
// system's own profiles.
bool IsUserSid(std::string_view sid);

}  // namespace tarnwick

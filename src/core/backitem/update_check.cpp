#include "backitem/update_check.h"

#include "common/key_path.h"
#include "registry/registry.h"

namespace tarnwick {

void RegisterUpdateCheck(TRegistry& registry, const std::string& distinctName,
                         const std::string& displayName, const std::string& programPath,
                         uint32_t build) {
  const std::string makerKey = std::string(kUpdateCheckerKey) + "\\" + kMakerKey;
  const std::string programKey = makerKey + "\\" + distinctName;

  registry.SetRootKey(kHKeyCurrentUser);
  if (!registry.KeyExists(kUpdateCheckerKey)) return;

  // The maker's and the program's descriptions are written once; the user
  // or the update checker may edit them afterwards.
  if (!registry.KeyExists(makerKey)) {
    registry.OpenKey(makerKey, true);
    registry.WriteString("Author", kMakerAuthor);
    registry.WriteString("DisplayHost", kMakerDisplayHost);
    registry.WriteString("InfoURL", kMakerInfoUrl);
    registry.CloseKey();
  }
  if (!registry.KeyExists(programKey)) {
    registry.OpenKey(programKey, true);
    registry.WriteString("DistinctName", distinctName);
    if (!displayName.empty()) registry.WriteString("DisplayName", displayName);
    registry.CloseKey();
  }

  // A key that fails to open leaves no current key, so the writes below
  // throw and name the value.
  registry.OpenKey(programKey, false);
  registry.WriteString("FilePath", programPath);
  registry.WriteInteger("Build", build);
  registry.CloseKey();
}

}  // namespace tarnwick

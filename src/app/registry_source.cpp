#include "app/registry_source.h"

#include <cstdlib>

#include "common/errors.h"
#include "platform/system.h"
#ifdef _WIN32
#include "registry/win32/win32_store.h"
#else
#include "registry/hive/hive_folder.h"
#include "registry/hive/hive_store.h"
#include "registry/wine/wine_prefix_store.h"
#endif

namespace tarnwick::app {

#ifdef _WIN32
std::unique_ptr<RegistryStore> OpenRegistrySource(const std::string& source,
                                                  const std::string& user) {
  if (!user.empty()) {
    throw ERegistrySourceError(
        "Windows では、読み込むのはこのコンピューターのレジストリです。-u は指定できません: " +
        user);
  }
  if (!source.empty()) {
    throw ERegistrySourceError(
        "Windows では、読み込むのはこのコンピューターのレジストリです。-r は指定できません: " +
        source);
  }
  return std::make_unique<Win32RegistryStore>();
}

std::string DefaultRegistrySource() {
  return "";  // the live registry
}
#else
std::unique_ptr<RegistryStore> OpenRegistrySource(const std::string& source,
                                                  const std::string& user) {
  WindowsInstallation installation;
  if (FindWindowsInstallation(source, installation)) {
    return std::make_unique<HiveStore>(source, user);
  }
  // A Wine prefix has one user: a profile asked for would be silently
  // another's, so -u is refused.
  if (!user.empty()) {
    throw ERegistrySourceError(
        "-u は Windows のインストール フォルダーを読むときだけ指定できます: " + source);
  }
  return std::make_unique<WinePrefixStore>(source);
}

std::string DefaultRegistrySource() {
  if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix) return prefix;
  return platform::HomeFolder() + "/.wine";
}
#endif

RegistrySourceFactory RegistrySourceOpener(const std::string& user) {
  return [user](const std::string& source) { return OpenRegistrySource(source, user); };
}

}  // namespace tarnwick::app

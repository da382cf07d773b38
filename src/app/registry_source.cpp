#include "app/registry_source.h"

#include <cstdlib>

#include "app/user_folders.h"
#include "common/errors.h"
#ifdef _WIN32
#include "registry/win32/win32_store.h"
#else
#include "registry/wine/wine_prefix_store.h"
#endif

namespace tarnwick::app {

#ifdef _WIN32
std::unique_ptr<RegistryStore> OpenRegistrySource(const std::string& source) {
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
std::unique_ptr<RegistryStore> OpenRegistrySource(const std::string& source) {
  return std::make_unique<WinePrefixStore>(source);
}

std::string DefaultRegistrySource() {
  if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix) return prefix;
  return HomeFolder() + "/.wine";
}
#endif

}  // namespace tarnwick::app

#include "app/registry_source.h"

#include <cstdlib>

#include "app/user_folders.h"
#include "registry/wine/wine_prefix_store.h"

namespace tarnwick::app {

std::unique_ptr<RegistryStore> OpenRegistrySource(const std::string& source) {
  return std::make_unique<WinePrefixStore>(source);
}

std::string DefaultRegistrySource() {
  if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix) return prefix;
  return HomeFolder() + "/.wine";
}

}  // namespace tarnwick::app

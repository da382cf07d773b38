#include "app/registry_source.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "registry/wine/wine_prefix_store.h"

namespace tarnwick::app {
namespace {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return "";
}

}  // namespace

std::unique_ptr<RegistryStore> OpenRegistrySource(const std::string& source) {
  return std::make_unique<WinePrefixStore>(source);
}

std::string DefaultRegistrySource() {
  if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix) return prefix;
  return HomeFolder() + "/.wine";
}

}  // namespace tarnwick::app

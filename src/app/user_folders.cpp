#include "app/user_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace tarnwick::app {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return "";
}

std::string WorkingDir() {
  std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
  if (!cwd) return "";
  std::string dir = cwd.get();
  return dir.back() == '/' ? dir : dir + "/";
}

std::string ConfigDir() {
  // A relative XDG_CONFIG_HOME is not a configuration folder: it is ignored.
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/') {
    return std::string(config) + "/tarnwick/";
  }
  return HomeFolder() + "/.config/tarnwick/";
}

}  // namespace tarnwick::app

#include "app/user_folders.h"

#include <cstdlib>
#include <memory>

#ifdef _WIN32
#include <shlobj.h>
#include <windows.h>

#include "platform/win32/wide_text.h"
#else
#include <pwd.h>
#include <unistd.h>
#endif

namespace tarnwick::app {

#ifdef _WIN32
std::string HomeFolder() {
  return "";
}

std::string WorkingDir() {
  return "";  // relative names are taken from the program's folder
}

std::string ConfigDir() {
  wchar_t* folder = nullptr;
  std::string result;
  if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &folder) == S_OK) {
    result = platform::Narrow(folder) + "\\Tarnwick\\";
  }
  CoTaskMemFree(folder);
  return result;
}
#else

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
#endif

}  // namespace tarnwick::app

#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "platform/system.h"

namespace tarnwick::platform {

std::string RunningProgramPath(const char* argv0) {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n > 0) return std::string(buffer, static_cast<std::size_t>(n));
  if (argv0 && realpath(argv0, buffer)) return buffer;
  return argv0 ? argv0 : "tarnwick";
}

uint32_t ProgramBuildNumber(const std::string&) {
  return TARNWICK_BUILD;
}

int NativeRegEditVersion() {
  return 5;
}

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

}  // namespace tarnwick::platform

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

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

}  // namespace tarnwick::platform

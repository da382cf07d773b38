#include "registry/wine/wine_server_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

namespace tarnwick {
namespace {

enum class NameFile { Missing, Read, Unusable };

// Debian's wine names its folder below $TMPDIR in this file: "wine-XXXXXX",
// without a line break.
NameFile ReadServerFolderName(const std::string& prefixDir, std::string& name) {
  int fd = open((prefixDir + "/wineserver").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? NameFile::Missing : NameFile::Unusable;
  char buffer[256];
  ssize_t n;
  do n = read(fd, buffer, sizeof buffer);
  while (n < 0 && errno == EINTR);
  close(fd);
  if (n <= 0) return NameFile::Unusable;
  name.assign(buffer, static_cast<std::size_t>(n));
  while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
  if (name.empty() || name == "." || name == ".." || name.find('/') != name.npos ||
      name.find('\0') != name.npos) {
    return NameFile::Unusable;
  }
  return NameFile::Read;
}

}  // namespace

std::vector<std::string> WineServerDirs(const std::string& prefixDir) {
  struct stat st;
  if (stat(prefixDir.c_str(), &st) != 0) return {};
  char leaf[64];
  std::snprintf(leaf, sizeof leaf, "/server-%" PRIx64 "-%" PRIx64, static_cast<uint64_t>(st.st_dev),
                static_cast<uint64_t>(st.st_ino));
  std::vector<std::string> dirs{"/tmp/.wine-" + std::to_string(getuid()) + leaf};
  std::string name;
  if (ReadServerFolderName(prefixDir, name) == NameFile::Read) {
    const char* tmp = std::getenv("TMPDIR");
    dirs.push_back(std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name + leaf);
  }
  return dirs;
}

bool WineServerLockHeld(const std::string& serverDir) {
  int fd = open((serverDir + "/lock").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno != ENOENT && errno != ENOTDIR;
  struct flock lock = {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 1;
  bool held = fcntl(fd, F_GETLK, &lock) != 0 || lock.l_type != F_UNLCK;
  close(fd);
  return held;
}

bool WineServerRunning(const std::string& prefixDir) {
  std::string name;
  if (ReadServerFolderName(prefixDir, name) == NameFile::Unusable) return true;
  std::vector<std::string> dirs = WineServerDirs(prefixDir);
  if (dirs.empty()) return true;
  for (const std::string& dir : dirs) {
    if (WineServerLockHeld(dir)) return true;
  }
  return false;
}

}  // namespace tarnwick

#include "registry/wine/wine_server_check.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "platform/files.h"

namespace tarnwick {
namespace {

enum class NameFile { Missing, Read, Unusable };

// Debian's wine names its folder below $TMPDIR in this file: "wine-XXXXXX",
// without a line break.
NameFile ReadServerFolderName(const std::string& prefixDir, std::string& name) {
  platform::InputFile file;
  if (int error = file.Open(prefixDir + "/wineserver")) {
    return error == ENOENT ? NameFile::Missing : NameFile::Unusable;
  }
  char buffer[256];
  std::size_t got = 0;
  if (file.Read(buffer, sizeof buffer, got) != 0 || got == 0) return NameFile::Unusable;
  name.assign(buffer, got);
  while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
  if (name.empty() || name == "." || name == ".." || name.find('/') != name.npos ||
      name.find('\0') != name.npos) {
    return NameFile::Unusable;
  }
  return NameFile::Read;
}

}  // namespace

std::vector<std::string> WineServerDirs(const std::string& prefixDir) {
  const platform::FileStatus prefix = platform::StatusOf(prefixDir);
  if (prefix.kind == platform::FileKind::Missing) return {};
  char leaf[64];
  std::snprintf(leaf, sizeof leaf, "/server-%" PRIx64 "-%" PRIx64, prefix.volume, prefix.index);
  std::vector<std::string> dirs{"/tmp/.wine-" + std::to_string(platform::UserId()) + leaf};
  std::string name;
  if (ReadServerFolderName(prefixDir, name) == NameFile::Read) {
    const char* tmp = std::getenv("TMPDIR");
    dirs.push_back(std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name + leaf);
  }
  return dirs;
}

bool WineServerLockHeld(const std::string& serverDir) {
  bool held = false;
  const int error = platform::WriteLockHeld(serverDir + "/lock", held);
  // A lock file that is there but cannot be looked at may be held.
  return error == 0 ? held : error != ENOENT && error != ENOTDIR;
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

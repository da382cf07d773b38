#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "platform/single_instance.h"

namespace tarnwick::platform {

SingleInstanceLock::~SingleInstanceLock() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

bool SingleInstanceLock::Acquire(const std::string& lockPath) {
  if (handle_ >= 0) return true;
  // O_NOFOLLOW: a link planted in a shared folder must not make us create a
  // file elsewhere. flock needs no write access, so read-only is enough.
  int fd = open(lockPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return true;
  int result;
  do {
    result = flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    bool heldElsewhere = errno == EWOULDBLOCK;
    close(fd);
    return !heldElsewhere;
  }
  handle_ = fd;
  return true;
}

std::string DefaultLockPath(const std::string& name) {
  std::string lower;
  for (char c : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // The same file however the program is started (cron has no
  // XDG_RUNTIME_DIR, a desktop session has), so that two runs never overlap.
  std::string uid = std::to_string(getuid());
  struct stat st;
  std::string runtime = "/run/user/" + uid;
  if (stat(runtime.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid()) {
    return runtime + "/" + lower + ".lock";
  }
  return "/tmp/" + lower + "-" + uid + ".lock";
}

}  // namespace tarnwick::platform

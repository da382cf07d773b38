// One running copy per user: on POSIX an exclusive flock on a lock file, on
// Windows a named mutex. The system drops either when the process ends,
// however it ends, so a crash never locks the user out.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick::platform {

class SingleInstanceLock {
 public:
  SingleInstanceLock() = default;
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  // False only when another process holds the lock. A lock that cannot be
  // made at all (a foreign file in /tmp, a full disk) does not stop the
  // program: it then runs without the lock.
  bool Acquire(const std::string& lockName);
  bool Held() const { return handle_ != -1; }

 private:
  std::intptr_t handle_ = -1;
};

// What Acquire takes for the program called name. POSIX: the file
// "/run/user/<uid>/<name>.lock" when that folder is the user's, else
// "/tmp/<name>-<uid>.lock", name in lower case; it depends on the user alone,
// never on the environment. Windows: the mutex name, name itself, which is
// the user's session's own.
std::string DefaultLockPath(const std::string& name);

}  // namespace tarnwick::platform

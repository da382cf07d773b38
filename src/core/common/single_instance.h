// One running copy per user: an exclusive flock on a lock file. The system
// drops the lock when the process ends, however it ends, so a crash never
// locks the user out.
#pragma once

#include <string>

namespace tarnwick {

class SingleInstanceLock {
 public:
  SingleInstanceLock() = default;
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  // False only when another process holds the lock. A lock file that cannot
  // be opened at all (a foreign file in /tmp, a full disk) does not stop the
  // program: it then runs without the lock.
  bool Acquire(const std::string& lockPath);
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// "/run/user/<uid>/<name>.lock" when that folder is the user's, else
// "/tmp/<name>-<uid>.lock"; name in lower case. It depends on the user alone,
// never on the environment.
std::string DefaultLockPath(const std::string& name);

}  // namespace tarnwick

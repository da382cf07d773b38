// Windows: the named mutex "Tarnwick" of the user's session.
#include "platform/single_instance.h"
#include "platform/win32/wide_text.h"

namespace tarnwick::platform {

SingleInstanceLock::~SingleInstanceLock() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool SingleInstanceLock::Acquire(const std::string& lockName) {
  if (handle_ != -1) return true;
  HANDLE mutex = CreateMutexW(nullptr, FALSE, Widen(lockName).c_str());
  // A mutex that cannot be made is one another copy holds (one made by an
  // elevated copy refuses us access), so both ways the program stops.
  if (!mutex) return false;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(mutex);
  return true;
}

std::string DefaultLockPath(const std::string& name) {
  return name;
}

}  // namespace tarnwick::platform

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/console.h"

namespace tarnwick::platform {
namespace {

void Catch(int signo, void (*onCancel)(int)) {
  struct sigaction old {};
  if (sigaction(signo, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) return;
  struct sigaction action {};
  action.sa_handler = onCancel;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // file operations go on; the export checks the flag
  sigaction(signo, &action, nullptr);
}

}  // namespace

int TerminalColumns(int fd) {
  winsize size{};
  if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

void OpenMissingStandardFiles() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && open("/dev/null", O_RDWR) != fd) return;
  }
}

void InstallCancelHandler(void (*onCancel)(int)) {
  Catch(SIGINT, onCancel);
  Catch(SIGTERM, onCancel);
  Catch(SIGHUP, onCancel);
  signal(SIGPIPE, SIG_IGN);
}

}  // namespace tarnwick::platform

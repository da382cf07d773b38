#include "e2e_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "common/text_codec.h"

extern char** environ;

namespace tarnwick::e2e {
namespace {

// Generous: a run that takes this long is hanging, not slow.
constexpr auto kRunLimit = std::chrono::seconds(120);

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

bool Finished(pid_t pid, Outcome& outcome) {
  int status = 0;
  pid_t done = waitpid(pid, &status, WNOHANG);
  if (done != pid) return false;
  if (WIFEXITED(status)) outcome.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  return true;
}

// Waits for pid; kills it and fails the test when it runs past the limit.
void WaitBounded(pid_t pid, Outcome& outcome) {
  auto deadline = std::chrono::steady_clock::now() + kRunLimit;
  while (!Finished(pid, outcome)) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      ADD_FAILURE() << "tarnwick did not end";
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

}  // namespace

std::ostream& operator<<(std::ostream& os, const Outcome& outcome) {
  return os << "exit " << outcome.exitCode << ", signal " << outcome.signal << ", stderr:\n"
            << outcome.err;
}

std::string DataFileBytes(const std::string& items, const std::string& settings) {
  return Utf8ToCp932(
      WithCrLf("[Tarnwick]\nVersion=205\n\n[BackupItems]\n" + items + "\n[Settings]\n" + settings));
}

std::string WineUserReg(const std::string& body) {
  return "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
         "#arch=win64\n\n" +
         body;
}

std::string ManyKeysUserReg(int keys) {
  std::string body;
  body.reserve(static_cast<std::size_t>(keys) * 64);
  char line[128];
  for (int i = 0; i < keys; ++i) {
    std::snprintf(line, sizeof line,
                  "[Software\\\\Slow\\\\K%03d\\\\S%06d] 1733600000\n\"v\"=dword:%08x\n\n", i / 1000,
                  i, i);
    body += line;
  }
  return WineUserReg(body);
}

std::string BigValuesUserReg(int values, std::size_t chars) {
  std::string body = "[Software\\\\Big] 1733600000\n";
  for (int i = 0; i < values; ++i) {
    body += "\"Big" + std::to_string(i) + "\"=str(2):\"" + std::string(chars, 'a') + "\"\n";
  }
  return WineUserReg(body);
}

void E2eTest::SetUp() {
  prefix = Path("prefix");
  data = Path("items.dat");
  settings = Path("tarnwick.ini");
  for (const std::string& folder : {prefix, Path("home")}) {
    std::filesystem::create_directory(folder);
  }
}

std::vector<std::string> E2eTest::ChildEnvironment() const {
  std::map<std::string, std::string> vars;
  for (char** entry = environ; *entry; ++entry) {
    std::string text = *entry;
    std::size_t eq = text.find('=');
    if (eq != std::string::npos) vars[text.substr(0, eq)] = text.substr(eq + 1);
  }
  for (const char* name : {"WINEPREFIX", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    vars.erase(name);
  }
  vars["HOME"] = Path("home");
  for (const auto& [name, value] : environment) vars[name] = value;
  std::vector<std::string> list;
  for (const auto& [name, value] : vars) list.push_back(name + "=" + value);
  return list;
}

pid_t E2eTest::Spawn(const std::vector<std::string>& arguments, int errFd) {
  std::vector<std::string> env = ChildEnvironment();
  std::vector<std::string> args;
  if (unprivileged_ && geteuid() == 0) {
    // Root ignores permissions: the run drops to nobody, so that what
    // permissions refuse is tested under CI's root as well.
    args = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
  }
  args.push_back(program);
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv, envp;
  for (std::string& a : args) argv.push_back(a.data());
  for (std::string& e : env) envp.push_back(e.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  std::string outPath = Path("stdout.txt");
  std::string cwd = workingDir.empty() ? dir_.Path() : workingDir;

  pid_t pid = fork();
  if (pid == 0) {
    // The program starts as from a shell, whatever the test runner left
    // ignored or blocked: a cancel signal must reach its handlers.
    for (int signo : {SIGINT, SIGTERM, SIGHUP}) signal(signo, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (chdir(cwd.c_str()) != 0) _exit(126);
    int in = open("/dev/null", O_RDONLY);
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(errFd, STDERR_FILENO);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  return pid;
}

void E2eTest::OpenToEveryone() {
  namespace fs = std::filesystem;
  for (const auto& entry : fs::recursive_directory_iterator(dir_.Path())) {
    fs::permissions(entry.path(), fs::perms::all, fs::perm_options::add);
  }
  fs::permissions(dir_.Path(), fs::perms::all, fs::perm_options::add);
}

Outcome E2eTest::RunUnprivileged(const std::vector<std::string>& arguments) {
  // A copy of the program in the test's folder: the build folder may lie
  // where the other user cannot reach it (below /root, say).
  namespace fs = std::filesystem;
  const std::string original = program;
  program = Path("program");
  fs::copy_file(original, program, fs::copy_options::overwrite_existing);
  fs::permissions(program, fs::perms::all, fs::perm_options::add);
  unprivileged_ = true;
  Outcome outcome = Run(arguments);
  unprivileged_ = false;
  program = original;
  return outcome;
}

pid_t E2eTest::Start(const std::vector<std::string>& arguments) {
  int errFd = open(Path("stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = Spawn(arguments, errFd);
  close(errFd);
  return pid;
}

bool E2eTest::StopWhen(pid_t pid, const std::function<bool()>& ready,
                       std::chrono::milliseconds step) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (;;) {
    kill(pid, SIGSTOP);
    int status = 0;
    if (waitpid(pid, &status, WUNTRACED) != pid || !WIFSTOPPED(status)) {
      ADD_FAILURE() << "the run ended (status " << status << ") before the point looked for:\n"
                    << Read("stderr.txt");
      return false;
    }
    if (ready()) return true;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      ADD_FAILURE() << "the run never came to the point looked for";
      return false;
    }
    kill(pid, SIGCONT);
    std::this_thread::sleep_for(step);
  }
}

Outcome E2eTest::Wait(pid_t pid) {
  Outcome outcome;
  WaitBounded(pid, outcome);
  outcome.err = Read("stderr.txt");
  outcome.out = Read("stdout.txt");
  return outcome;
}

Outcome E2eTest::Run(const std::vector<std::string>& arguments) {
  return Wait(Start(arguments));
}

Outcome E2eTest::RunOnTerminal(const std::vector<std::string>& arguments) {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    ADD_FAILURE() << "no pseudo-terminal";
    return {};
  }
  winsize size{};
  size.ws_row = 24;
  size.ws_col = 100;
  ioctl(master, TIOCSWINSZ, &size);
  int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
  termios mode{};
  tcgetattr(slave, &mode);
  mode.c_oflag &= ~static_cast<tcflag_t>(OPOST);  // the bytes as written, no CR added
  tcsetattr(slave, TCSANOW, &mode);
  pid_t pid = Spawn(arguments, slave);
  close(slave);  // the child's copy is the last, so reads end when it exits

  Outcome outcome;
  auto deadline = std::chrono::steady_clock::now() + kRunLimit;
  bool ended = false;
  for (;;) {
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, 20) > 0) {
      char buffer[4096];
      ssize_t n = read(master, buffer, sizeof buffer);
      if (n <= 0) break;  // EIO: the terminal's other side is closed
      outcome.err.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (ended) break;
    ended = Finished(pid, outcome);
    if (!ended && std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      ADD_FAILURE() << "tarnwick did not end";
      break;
    }
  }
  if (!ended) WaitBounded(pid, outcome);
  close(master);
  outcome.out = Read("stdout.txt");
  return outcome;
}

std::vector<std::string> E2eTest::BatchArguments(std::vector<std::string> first) const {
  first.insert(first.end(), {"-w", "-i" + settings, "-r" + prefix, data});
  return first;
}

void E2eTest::WriteData(const std::string& items, const std::string& settingsLines) {
  test::WriteFileBytes(data, DataFileBytes(items, settingsLines));
}

void E2eTest::WriteUserReg(const std::string& body) {
  test::WriteFileBytes(prefix + "/user.reg", WineUserReg(body));
}

void E2eTest::CopyExamples() {
  namespace fs = std::filesystem;
  fs::copy(std::string(TARNWICK_EXAMPLES) + "/wine-prefix", prefix,
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  fs::copy_file(std::string(TARNWICK_EXAMPLES) + "/example.dat", data);
}

std::string E2eTest::Read(const std::string& name) const {
  return test::ReadFileBytes(name.front() == '/' ? name : Path(name));
}

bool E2eTest::Exists(const std::string& name) const {
  return test::FileExists(name.front() == '/' ? name : Path(name));
}

}  // namespace tarnwick::e2e

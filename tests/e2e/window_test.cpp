// The real program's window under a real X server (Xvfb), driven from the
// keyboard with xdotool as a person would: Alt+W exports, Alt+X exits. The
// REG file is the one a batch export of the same list writes.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "e2e_support.h"

namespace tarnwick::e2e {
namespace {

constexpr const char* kFixture =
    "[Software\\\\Fixture\\\\Editor] 1733600000\n"
    "\"Font\"=\"\\x30e1\\x30a4\\x30ea\\x30aa\"\n\n"
    "[Software\\\\Fixture\\\\Viewer] 1733600000\n"
    "\"Zoom\"=dword:00000064\n\n";

// The output of a shell command, without its last line end.
std::string Output(const std::string& command) {
  std::string text;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) text += buffer;
    pclose(pipe);
  }
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

class WindowTest : public E2eTest {
 protected:
  void TearDown() override {
    if (xvfb_ > 0) {
      kill(xvfb_, SIGTERM);
      waitpid(xvfb_, nullptr, 0);
    }
  }

  // Starts an X server of its own on a free display; false when it does not
  // come up. Xvfb names the display on the pipe only once it takes
  // connections: a socket file alone may be a dead server's, and a program
  // that cannot connect would quietly run without its window.
  bool StartX() {
    int ready[2];
    if (pipe(ready) != 0) return false;
    xvfb_ = fork();
    if (xvfb_ == 0) {
      close(ready[0]);
      std::string fd = std::to_string(ready[1]);
      execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24",
            "-nolisten", "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(ready[1]);
    std::string number;
    char c;
    while (read(ready[0], &c, 1) == 1 && c != '\n') number += c;
    close(ready[0]);
    if (number.empty()) return false;
    display_ = ":" + number;
    environment["DISPLAY"] = display_;
    return true;
  }

  // Gives the main window the keyboard focus and types keys into it.
  void Type(const std::string& keys) {
    std::string x = "DISPLAY=" + display_ + " timeout 20 xdotool ";
    std::string window = Output(x + "search --sync --onlyvisible --name Tarnwick | head -n 1");
    ASSERT_FALSE(window.empty()) << "the window did not show";
    Output(x + "windowfocus --sync " + window + " key " + keys);
  }

  std::string display_;
  pid_t xvfb_ = -1;
};

TEST_F(WindowTest, AltWExportsAndAltXExits) {
  if (access("/usr/bin/Xvfb", X_OK) != 0 || access("/usr/bin/xdotool", X_OK) != 0) {
    GTEST_SKIP() << "needs Xvfb and xdotool, which scripts/build.sh installs";
  }
  WriteUserReg(kFixture);
  WriteData(
      "editor=HKCU\\Software\\Fixture\\Editor,,0\nviewer=HKCU\\Software\\Fixture\\Viewer,,0\n",
      "RegEditVer=5\nFullRestore=1\n");
  std::filesystem::copy_file(data, Path("batch.dat"));
  ASSERT_EQ(Run({"-w", "-i" + settings, "-r" + prefix, Path("batch.dat")}).exitCode, 0);

  ASSERT_TRUE(StartX()) << "Xvfb did not start";
  pid_t pid = Start({"-i" + settings, "-r" + prefix, data});
  Type("alt+w");
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!Exists("items.reg") && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  Type("alt+x");
  Outcome outcome = Wait(pid);
  EXPECT_EQ(outcome.exitCode, 0) << outcome;
  ASSERT_TRUE(Exists("items.reg"));
  EXPECT_EQ(Read("items.reg"), Read("batch.reg"));
  EXPECT_TRUE(Exists("tarnwick.ini"));  // the settings were saved on the way out
}

TEST_F(WindowTest, AltAOpensANewItemsPropertiesAndEscLeavesTheListAsBefore) {
  if (access("/usr/bin/Xvfb", X_OK) != 0 || access("/usr/bin/xdotool", X_OK) != 0) {
    GTEST_SKIP() << "needs Xvfb and xdotool, which scripts/build.sh installs";
  }
  WriteUserReg(kFixture);
  WriteData("viewer=HKCU\\Software\\Fixture\\Viewer,,0\n", "RegEditVer=5\n");
  const std::string before = Read(data);
  ASSERT_TRUE(StartX()) << "Xvfb did not start";
  pid_t pid = Start({"-i" + settings, "-r" + prefix, data});
  Type("alt+a");
  std::string x = "DISPLAY=" + display_ + " timeout 20 xdotool ";
  std::string dialog =
      Output(x + "search --sync --onlyvisible --name '新規アイテムのプロパティ' | head -n 1");
  EXPECT_FALSE(dialog.empty()) << "the new item's dialog did not open";
  Output(x + "windowfocus --sync " + dialog + " key Escape");
  Type("alt+x");
  Outcome outcome = Wait(pid);
  EXPECT_EQ(outcome.exitCode, 0) << outcome;
  EXPECT_EQ(Read(data), before);  // no item was added, nothing to save
}

TEST_F(WindowTest, ABatchRunWithoutATerminalShowsTheProgressDialogOnADisplay) {
  if (access("/usr/bin/Xvfb", X_OK) != 0 || access("/usr/bin/xdotool", X_OK) != 0) {
    GTEST_SKIP() << "needs Xvfb and xdotool, which scripts/build.sh installs";
  }
  test::WriteFileBytes(prefix + "/user.reg", ManyKeysUserReg(300000));
  WriteData("slow=HKCU\\Software\\Slow,,0\n", "RegEditVer=5\n");
  ASSERT_TRUE(StartX()) << "Xvfb did not start";
  pid_t pid = Start(BatchArguments());
  // Looked for while the run stands still, so that it cannot end first.
  std::string dialog;
  ASSERT_TRUE(StopWhen(
      pid,
      [&] {
        dialog = Output("DISPLAY=" + display_ +
                        " xdotool search --onlyvisible --name 'REGファイル書き出し' 2>/dev/null");
        return !dialog.empty();
      },
      std::chrono::milliseconds(10)));
  kill(pid, SIGCONT);
  Outcome outcome = Wait(pid);
  EXPECT_FALSE(dialog.empty()) << "no progress dialog";
  EXPECT_EQ(outcome.exitCode, 0) << outcome;
  EXPECT_TRUE(Exists("items.reg"));
}

}  // namespace
}  // namespace tarnwick::e2e

// End-to-end test support: runs the built tarnwick in a fresh process on
// fixtures in a temporary folder, with its own home, no display and no
// inherited WINEPREFIX. The one-copy lock is the user's, so these tests run
// one at a time.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace tarnwick::e2e {

// How a run ended, and what it wrote on standard error and output.
struct Outcome {
  int exitCode = -1;  // when the program exited
  int signal = 0;     // when a signal ended it
  std::string err;
  std::string out;
};

std::ostream& operator<<(std::ostream& os, const Outcome& outcome);

// The data file bytes (CP932, CR LF) for item lines and settings lines, both
// UTF-8 with "\n" line ends.
std::string DataFileBytes(const std::string& items, const std::string& settings);

// A user.reg with the given keys (Wine's format, after the header).
std::string WineUserReg(const std::string& body);
// A key tree of `keys` keys under HKCU\Software\Slow, two levels deep.
std::string ManyKeysUserReg(int keys);
// HKCU\Software\Big with `values` REG_EXPAND_SZ values of `chars` characters.
std::string BigValuesUserReg(int values, std::size_t chars);

class E2eTest : public testing::Test {
 protected:
  void SetUp() override;

  // Runs tarnwick with these arguments and waits for it (bounded).
  Outcome Run(const std::vector<std::string>& arguments);
  // Runs it as a user whom permissions stop (nobody, when the tests run as
  // root); OpenToEveryone first lets that user use what the test made.
  Outcome RunUnprivileged(const std::vector<std::string>& arguments);
  void OpenToEveryone();
  // Runs it with standard error on a terminal of 100 columns.
  Outcome RunOnTerminal(const std::vector<std::string>& arguments);
  // Starts it with standard error into a file; Wait collects it.
  pid_t Start(const std::vector<std::string>& arguments);
  Outcome Wait(pid_t pid);
  // Lets the run go on in steps of `step`, stopping it (SIGSTOP) after each
  // one, until `ready` holds while it is stopped; then returns true with the
  // run still stopped, so that what the test does next happens at that very
  // point of the run, however fast or slow the machine. False, with the run
  // reaped and a failure added, when it ended first.
  bool StopWhen(pid_t pid, const std::function<bool()>& ready,
                std::chrono::milliseconds step = std::chrono::milliseconds(1));

  // -w, the settings file, the prefix and the data file, after `first`.
  std::vector<std::string> BatchArguments(std::vector<std::string> first = {}) const;
  Outcome RunBatch(std::vector<std::string> first = {}) { return Run(BatchArguments(first)); }

  void WriteData(const std::string& items, const std::string& settings);
  void WriteUserReg(const std::string& body);
  void CopyExamples();  // the example prefix and data file
  std::string Path(const std::string& name) const { return dir_.File(name); }
  std::string Read(const std::string& name) const;
  bool Exists(const std::string& name) const;

  std::map<std::string, std::string> environment;  // added to the child's environment
  std::string workingDir;                          // the child's; the test's folder when empty
  std::string program = TARNWICK_BINARY;           // what Run runs
  std::string prefix;                              // the Wine prefix folder
  std::string data;                                // the data file
  std::string settings;                            // the settings file (never created by the tests)

 private:
  pid_t Spawn(const std::vector<std::string>& arguments, int errFd);
  std::vector<std::string> ChildEnvironment() const;

  test::TempDir dir_;
  bool unprivileged_ = false;
};

}  // namespace tarnwick::e2e

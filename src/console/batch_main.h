// The headless front end: runs start-up and batch export with messages on
// standard error and progress on a terminal. Starts no GUI toolkit and needs
// no display.
#pragma once

#include <string>
#include <vector>

namespace tarnwick::console {

// Runs the program in batch mode and returns its exit status; a run cancelled
// by a signal ends by that signal instead of returning.
int RunBatch(const std::string& programPath, const std::vector<std::string>& arguments);

// Says on standard error that this build has no window; returns kExitNoWindow.
int ReportNoWindow();

// The running program file: /proc/self/exe, else argv0 made absolute.
std::string RunningProgramPath(const char* argv0);

}  // namespace tarnwick::console

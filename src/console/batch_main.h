// The headless front end: runs start-up and batch export with messages on
// standard error and progress on a terminal. Starts no GUI toolkit and needs
// no display.
#pragma once

#include <string>
#include <vector>

#include "backitem/startup.h"

namespace tarnwick::console {

// Runs the program in batch mode and returns its exit status (128 + the
// signal's number for a run a signal cancelled). openSource opens the
// registry source; defaultSource is the one used without -r.
int RunBatch(const std::string& programPath, const std::vector<std::string>& arguments,
             const RegistrySourceFactory& openSource, const std::string& defaultSource);

// Says on standard error that this build has no window; returns kExitNoWindow.
int ReportNoWindow();

// The running program file: /proc/self/exe, else argv0 made absolute.
std::string RunningProgramPath(const char* argv0);

}  // namespace tarnwick::console

// The headless front end: runs start-up and batch export with messages on
// standard error and progress on a terminal. Starts no GUI toolkit and needs
// no display.
#pragma once

#include <string>
#include <vector>

#include "backitem/startup.h"
#include "common/ports.h"

namespace tarnwick::console {

// Makes a window's progress display that reads progressOff at each start.
using ProgressFactory = std::function<std::unique_ptr<ProgressPort>(const bool& progressOff)>;

// Runs the program in batch mode and returns its exit status (128 + the
// signal's number for a run a signal cancelled). openSource opens the
// registry source. With windowProgress, a run whose standard error is no
// terminal shows its progress in that display instead.
int RunBatch(const StartupInput& input, const RegistrySourceFactory& openSource,
             const ProgressFactory& windowProgress = {});

// --help: the usage on standard output; returns 0.
int PrintUsage();
// --version: the program's version and build on standard output; returns 0.
int PrintVersion();

// Says on standard error that there is no display for the window; returns
// kExitNoWindow.
int ReportNoDisplay();

// Says on standard error that this build of the program has no window (a
// Windows build made without Qt); returns kExitNoWindow.
int ReportNoWindowInThisBuild();

}  // namespace tarnwick::console

// The exit statuses of the program, as README.md lists them. A run a signal
// cancelled exits with 128 + the signal's number (see cancel_signals.h).
#pragma once

#include "backitem/startup.h"

namespace tarnwick::console {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitExportFailed = 1;
inline constexpr int kExitCommandLine = 2;
inline constexpr int kExitSaveFailed = 3;
inline constexpr int kExitDataFile = 4;
inline constexpr int kExitRegistrySource = 5;
inline constexpr int kExitAlreadyRunning = 6;
inline constexpr int kExitNoWindow = 7;     // the window was wanted, but there is no display
inline constexpr int kExitIncomplete = 8;   // exported, but the backup does not hold everything
inline constexpr int kExitWouldChange = 9;  // --compare: the import would change the registry
inline constexpr int kExitCancelled = 130;  // as a shell reports SIGINT

// How a batch export ended after start-up, in the order they win.
enum class BatchOutcome {
  DataFileError,       // the data file could not be read; nothing written
  Cancelled,           // the data file was still saved
  ExportFailed,        // the data file was still saved
  SaveFailed,          // the export succeeded, the data file could not be saved
  ExportedWithLosses,  // both succeeded, but the backup does not hold everything
  Succeeded,
};

// A start that ended the run; Started: the window was wanted without a display.
int ExitStatusFor(StartupOutcome outcome);
int ExitStatusFor(BatchOutcome outcome);

}  // namespace tarnwick::console

#include "console/exit_status.h"

namespace tarnwick::console {

int ExitStatusFor(StartupOutcome outcome) {
  switch (outcome) {
    case StartupOutcome::CommandLineError:
      return kExitCommandLine;
    case StartupOutcome::RegistrySourceError:
      return kExitRegistrySource;
    case StartupOutcome::AlreadyRunning:
      return kExitAlreadyRunning;
    case StartupOutcome::Started:
      return kExitNoWindow;
  }
  return kExitExportFailed;  // never 0 for an outcome not listed
}

int ExitStatusFor(BatchOutcome outcome) {
  switch (outcome) {
    case BatchOutcome::Succeeded:
      return kExitSuccess;
    case BatchOutcome::ExportedWithLosses:
      return kExitIncomplete;
    case BatchOutcome::ExportFailed:
      return kExitExportFailed;
    case BatchOutcome::SaveFailed:
      return kExitSaveFailed;
    case BatchOutcome::DataFileError:
      return kExitDataFile;
    case BatchOutcome::Cancelled:
      return kExitCancelled;
  }
  return kExitExportFailed;
}

}  // namespace tarnwick::console

#include "console/exit_status.h"

namespace tarnwick::console {

int ExitStatusFor(StartupOutcome outcome) {
  switch (outcome) {
    case StartupOutcome::BatchSucceeded:
      return kExitSuccess;
    case StartupOutcome::ExportedWithLosses:
      return kExitIncomplete;
    case StartupOutcome::ExportFailed:
      return kExitExportFailed;
    case StartupOutcome::CommandLineError:
      return kExitCommandLine;
    case StartupOutcome::SaveFailed:
      return kExitSaveFailed;
    case StartupOutcome::DataFileError:
      return kExitDataFile;
    case StartupOutcome::RegistrySourceError:
      return kExitRegistrySource;
    case StartupOutcome::AlreadyRunning:
      return kExitAlreadyRunning;
    case StartupOutcome::Started:
      return kExitNoWindow;
    case StartupOutcome::Cancelled:
      return kExitCancelled;
  }
  return kExitExportFailed;  // never 0 for an outcome not listed
}

}  // namespace tarnwick::console

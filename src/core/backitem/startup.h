// The start-up sequence that the window and batch mode share, and batch
// mode's export. Everything a person sees goes through the ports, so the
// sequence runs the same under the Qt window, on a terminal and in tests.
//
// Order: one running copy; the program's file names; the command line; the
// registry source; the item list; the settings file; the data file; the
// update-checker registration. The registry source is opened before any file
// is read, so a wrong source stops the program with nothing read or written.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "backitem/back_item.h"
#include "backitem/command_line.h"
#include "backitem/program_state.h"
#include "registry/registry.h"

namespace tarnwick {

class MessagePump;
class ProgressDisplay;
class PromptPort;
class RegistryStore;

struct StartupInput {
  std::string programPath;             // the running program file
  std::vector<std::string> arguments;  // argv[1..]
  std::string defaultRegistrySource;   // used without -r
};

// What start-up needs of the platform and the front end.
class StartupPorts {
 public:
  virtual ~StartupPorts() = default;
  // False when another copy of the program is running.
  virtual bool AcquireInstanceLock() = 0;
  // Throws ERegistrySourceError, naming the path, when it cannot be used.
  virtual std::unique_ptr<RegistryStore> OpenRegistrySource(const std::string& path) = 0;
  virtual PromptPort& Prompts() = 0;
  virtual ProgressDisplay& Progress() = 0;
  virtual MessagePump& Pump() = 0;
};

// One program run: the state, the items and the registry they are read from.
struct Session {
  ProgramState state;
  TBackItems items;
  CommandLineOptions options;
  std::string helpFileName;
  std::string registrySource;  // the prefix folder in use
  std::unique_ptr<RegistryStore> store;
  std::unique_ptr<TRegistry> registry;
  bool dataFileFound = false;       // the data file existed when start-up read it
  bool dataFileLoadFailed = false;  // reading it failed and the user gave up
};

enum class StartupOutcome {
  Started,           // ready: the window, or RunBatchExport with options.BatchExport
  BatchSucceeded,    // the export and the save succeeded
  ExportFailed,      // the data file was still saved
  SaveFailed,        // the export succeeded, the data file could not be saved
  Cancelled,         // the export was cancelled; the data file was still saved
  CommandLineError,  // nothing read or written
  AlreadyRunning,
  RegistrySourceError,  // nothing read or written
  DataFileError,        // batch mode: the data file could not be read; nothing written
};

inline constexpr const char* kProgramName = "Tarnwick";

// Runs the sequence up to the update-checker registration.
StartupOutcome StartProgram(Session& session, const StartupInput& input, StartupPorts& ports);

// Batch mode: exports every item, then saves the data file even after a failed
// or cancelled export, so that item changes made by the run (NoDelete) stay.
// Never writes the settings file. Outcomes other than Started, in the order
// they win: DataFileError, Cancelled, ExportFailed, SaveFailed, BatchSucceeded.
StartupOutcome RunBatchExport(Session& session, StartupPorts& ports);

// $WINEPREFIX when set, else ~/.wine.
std::string DefaultRegistrySource(const char* winePrefix, const char* home);

}  // namespace tarnwick

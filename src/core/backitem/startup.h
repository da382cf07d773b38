// The start-up sequence that the window and batch mode share. Everything a
// person sees goes through the ports, so the sequence runs the same under the
// Qt window, on a terminal and in tests.
//
// Order: one running copy; the program's file names; the command line; the
// registry source; the item list; the settings file; the data file; the
// update-checker registration. The registry source is opened before any file
// is read, so a wrong source stops the program with nothing read or written.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "backitem/back_item.h"
#include "backitem/command_line.h"
#include "backitem/program_state.h"
#include "registry/registry_store.h"

namespace tarnwick {

class PromptPort;

struct StartupInput {
  std::string programPath;             // the running program file
  std::vector<std::string> arguments;  // argv[1..]
  std::string defaultRegistrySource;   // used without -r
  // Relative names on the command line are taken from this folder (with a
  // trailing separator); empty: the program's folder.
  std::string workingDir;
  // The settings and data files by default, when none is beside the program
  // (a portable copy); empty: beside the program.
  std::string configDir;
};

// Opens the registry source that -r names (or its default) as a store.
// Throws ERegistrySourceError, naming the path, when it cannot be used. The
// program's wiring chooses the backend; start-up never names one.
using RegistrySourceFactory =
    std::function<std::unique_ptr<RegistryStore>(const std::string& source)>;

// What start-up needs of the platform and the front end.
class StartupPorts {
 public:
  virtual ~StartupPorts() = default;
  // False when another copy of the program is running.
  virtual bool AcquireInstanceLock() = 0;
  // As RegistrySourceFactory.
  virtual std::unique_ptr<RegistryStore> OpenRegistrySource(const std::string& path) = 0;
  virtual PromptPort& Prompts() = 0;
  // A remark that asks nothing and is not worth a message box at every
  // start: batch mode writes it on standard error, the window shows nothing.
  virtual void Note(const std::string& /*text*/) {}
};

// One program run: the state, the items and the registry they are read from.
struct Session {
  ProgramState state;
  TBackItems items;
  CommandLineOptions options;
  std::string helpFileName;
  std::string helpDir;                   // the help pages' folder, with a trailing separator
  std::string registrySource;            // the prefix folder in use
  std::unique_ptr<RegistryStore> store;  // each user opens accessors of its own
  bool dataFileFound = false;            // the data file existed when start-up read it
  bool dataFileLoadFailed = false;       // reading it failed and the user gave up
};

enum class StartupOutcome {
  Started,           // ready: the window, or the batch export with options.BatchExport
  CommandLineError,  // nothing read or written
  AlreadyRunning,
  RegistrySourceError,  // nothing read or written
};

inline constexpr const char* kProgramName = "Tarnwick";

// Runs the sequence up to the update-checker registration.
StartupOutcome StartProgram(Session& session, const StartupInput& input, StartupPorts& ports);

}  // namespace tarnwick

// tarnwick: the program. Batch mode (-w) runs headless and never starts a GUI
// toolkit, so the choice is made from the command line before anything else.
#include <string>
#include <vector>

#include "app/registry_source.h"
#include "app/user_folders.h"
#include "backitem/command_line.h"
#include "backitem/program_state.h"
#include "console/batch_main.h"

int main(int argc, char** argv) {
  using namespace tarnwick;
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.size() == 1 && arguments[0] == "--help") return console::PrintUsage();
  if (arguments.size() == 1 && arguments[0] == "--version") return console::PrintVersion();
  // A look at the options only; start-up parses them again with the real folder.
  ProgramState scratch;
  CommandLineOptions options;
  bool valid = ParseCommandLine(arguments, "/", scratch, options);
  // Until the window exists, an invalid command line is reported by the
  // console too, so that it is never mistaken for a missing window.
  if (valid && !options.BatchExport) return console::ReportNoWindow();
  StartupInput input{console::RunningProgramPath(argc > 0 ? argv[0] : nullptr), arguments,
                     app::DefaultRegistrySource(), app::WorkingDir(), app::ConfigDir()};
  return console::RunBatch(input, app::OpenRegistrySource);
}

// tarnwick: the program. The window, unless -w asks for batch mode, which
// runs headless and never needs a display; the choice is made from the
// command line before anything else.
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/registry_source.h"
#include "app/user_folders.h"
#include "backitem/command_line.h"
#include "backitem/program_state.h"
#include "console/batch_main.h"
#include "console/exit_status.h"
#include "ui/window_main.h"

int main(int argc, char** argv) {
  using namespace tarnwick;
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.size() == 1 && arguments[0] == "--help") return console::PrintUsage();
  if (arguments.size() == 1 && arguments[0] == "--version") return console::PrintVersion();
  StartupInput input{console::RunningProgramPath(argc > 0 ? argv[0] : nullptr), arguments,
                     app::DefaultRegistrySource(), app::WorkingDir(), app::ConfigDir()};
  // A look at the options only; start-up parses them again with the real folder.
  ProgramState scratch;
  CommandLineOptions options;
  bool valid = ParseCommandLine(arguments, "/", scratch, options);
  // An invalid command line is reported on the console, display or not.
  if (!valid || options.BatchExport) {
    if (!valid || !ui::HasDisplay() || isatty(STDERR_FILENO)) {
      return console::RunBatch(input, app::OpenRegistrySource);
    }
    // With a display, a run without a terminal shows the progress dialog;
    // a display that cannot be reached shows nothing rather than end the run.
    setenv("QT_QPA_PLATFORM", "xcb;offscreen", 0);  // unless the caller chose one
    return ui::WithApplication(argc, argv, [&] {
      return console::RunBatch(input, app::OpenRegistrySource, ui::ProgressDialogFactory());
    });
  }
  if (!ui::HasDisplay()) return console::ReportNoDisplay();
  StartupOutcome outcome = ui::RunWindow(argc, argv, input, app::OpenRegistrySource);
  return outcome == StartupOutcome::Started ? console::kExitSuccess
                                            : console::ExitStatusFor(outcome);
}

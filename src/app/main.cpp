// tarnwick: the program. The window, unless -w asks for batch mode, which
// runs headless and never needs a display; the choice is made from the
// command line before anything else. A build without the window (Windows
// without Qt) is the batch program alone.
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/registry_source.h"
#include "backitem/command_line.h"
#include "backitem/program_state.h"
#include "common/path_utils.h"
#include "console/batch_main.h"
#include "console/compare_main.h"
#include "console/exit_status.h"
#include "platform/system.h"
#ifdef TARNWICK_WINDOW
#include "ui/window_main.h"
#endif
#ifdef _WIN32
#include <windows.h>
// needs the declarations of windows.h
#include <shellapi.h>

#include "platform/win32/wide_text.h"
#ifdef TARNWICK_WINDOW
#include "app/caller_console.h"
#endif
#endif

namespace {

// argv[1..] as UTF-8. Windows passes main() the ANSI code page's form, which
// loses what that code page cannot hold, so the arguments come from the
// UTF-16 command line there.
std::vector<std::string> Arguments(int argc, char** argv) {
#ifdef _WIN32
  std::vector<std::string> arguments;
  int count = 0;
  if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i) arguments.push_back(tarnwick::platform::Narrow(wide[i]));
    LocalFree(wide);
    return arguments;
  }
#endif
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tarnwick;
#ifdef _WIN32
  SetConsoleOutputCP(CP_UTF8);  // the program's messages are UTF-8
#endif
  std::vector<std::string> arguments = Arguments(argc, argv);
  const bool help = arguments.size() == 1 && arguments[0] == "--help";
  const bool version = arguments.size() == 1 && arguments[0] == "--version";
  const bool compare = !arguments.empty() && arguments[0] == "--compare";
  StartupInput input{platform::RunningProgramPath(argc > 0 ? argv[0] : nullptr), arguments,
                     app::DefaultRegistrySource(), platform::WorkingDir(), platform::ConfigDir()};
  // A look at the options only; start-up parses them again with the real folder.
  ProgramState scratch;
  CommandLineOptions options;
  bool valid = help || version || compare ||
               ParseCommandLine(arguments, std::string(1, kPathDelim), scratch, options);
#if defined(_WIN32) && defined(TARNWICK_WINDOW)
  // Only what prints takes the caller's console: a window attached to it
  // would end with the console's Ctrl+C.
  const bool printing = help || version || compare || !valid || options.BatchExport;
  const bool hasStandardError = printing && app::UseCallersConsole();
#endif
  if (help) return console::PrintUsage();
  if (version) return console::PrintVersion();
  if (compare) return console::RunCompare(input, app::RegistrySourceOpener);
  // -u is a name, no path, so this look is enough to pass it to the source.
  const RegistrySourceFactory openSource =
      app::RegistrySourceOpener(options.UserProfile.value_or(""));
#ifdef TARNWICK_WINDOW
#ifdef _WIN32
  // Text for whoever reads standard error. When nobody does (a shortcut, a
  // scheduled task), the export shows the progress dialog and an invalid
  // command line a message box.
  const bool batchOnConsole = (!valid || options.BatchExport) && hasStandardError;
  const bool batchInWindow = valid && options.BatchExport && !hasStandardError;
#else
  // An invalid command line is reported on the console, display or not.
  const bool batchOnConsole =
      !valid || (options.BatchExport && (!ui::HasDisplay() || isatty(STDERR_FILENO)));
  const bool batchInWindow = !batchOnConsole && options.BatchExport;
#endif
  if (batchOnConsole) return console::RunBatch(input, openSource);
  if (batchInWindow) {
    // With a display, a run without a terminal shows the progress dialog; a
    // display that cannot be opened leaves it to standard error, as a console.
    return ui::WithBatchApplication(argc, argv, [&](bool onDisplay) {
      return onDisplay ? console::RunBatch(input, openSource, ui::ProgressDialogFactory())
                       : console::RunBatch(input, openSource);
    });
  }
  if (!ui::HasDisplay()) return console::ReportNoDisplay();
  StartupOutcome outcome = ui::RunWindow(argc, argv, input, openSource);
  return outcome == StartupOutcome::Started ? console::kExitSuccess
                                            : console::ExitStatusFor(outcome);
#else
  if (!valid || options.BatchExport) return console::RunBatch(input, openSource);
  return console::ReportNoWindowInThisBuild();
#endif
}

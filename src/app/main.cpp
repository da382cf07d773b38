// tarnwick: the program. The window, unless -w asks for batch mode, which
// runs headless and never needs a display; the choice is made from the
// command line before anything else. A build without the window (Windows
// without Qt) is the batch program alone.
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/registry_source.h"
#include "app/user_folders.h"
#include "backitem/command_line.h"
#include "backitem/program_state.h"
#include "common/path_utils.h"
#include "console/batch_main.h"
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
  if (arguments.size() == 1 && arguments[0] == "--help") return console::PrintUsage();
  if (arguments.size() == 1 && arguments[0] == "--version") return console::PrintVersion();
  StartupInput input{platform::RunningProgramPath(argc > 0 ? argv[0] : nullptr), arguments,
                     app::DefaultRegistrySource(), app::WorkingDir(), app::ConfigDir()};
  // A look at the options only; start-up parses them again with the real folder.
  ProgramState scratch;
  CommandLineOptions options;
  bool valid = ParseCommandLine(arguments, std::string(1, kPathDelim), scratch, options);
  // -u is a name, no path, so this look is enough to pass it to the source.
  const RegistrySourceFactory openSource =
      app::RegistrySourceOpener(options.UserProfile.value_or(""));
  // An invalid command line is reported on the console, display or not.
#ifdef TARNWICK_WINDOW
  if (!valid || options.BatchExport) {
    if (!valid || !ui::HasDisplay() || isatty(STDERR_FILENO)) {
      return console::RunBatch(input, openSource);
    }
    // With a display, a run without a terminal shows the progress dialog;
    // an X display that cannot be reached shows nothing rather than end the run.
#ifndef _WIN32
    setenv("QT_QPA_PLATFORM", "xcb;offscreen", 0);  // unless the caller chose one
#endif
    return ui::WithApplication(argc, argv, [&] {
      return console::RunBatch(input, openSource, ui::ProgressDialogFactory());
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

// Standard files for a Windows program with a window. Such a program starts
// without a console; what it prints (batch mode, --help, --version, errors
// in the command line) goes where the caller redirected it, else to the
// console of the program that started it, when there is one.
#pragma once

namespace tarnwick::app {

// Connects standard output and standard error that were not redirected to
// the caller's console. True when standard error now leads somewhere (a
// console, a file or a pipe); false when nobody would read it, as for a
// double click or a scheduled task.
bool UseCallersConsole();

}  // namespace tarnwick::app

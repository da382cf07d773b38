// What the batch mode asks of the terminal and the system around it: the
// terminal's width, the standard files, and the requests to cancel.
#pragma once

namespace tarnwick::platform {

// The width of the terminal fd writes to; 80 when it cannot be told.
int TerminalColumns(int fd);

// Opens the standard files the caller left closed on the null device, so
// that no file the program opens becomes standard error. Windows files are
// handles that never take those numbers.
void OpenMissingStandardFiles();

// Calls onCancel(signal number) when the user asks the program to stop:
// SIGINT, SIGTERM and SIGHUP (one the caller ignores stays ignored), and a
// broken pipe is no reason to end; on Windows Ctrl+C, Ctrl+Break and the
// console window's close box, as SIGINT, SIGBREAK and SIGTERM. onCancel runs
// as a signal handler: it may only set flags or end the process.
void InstallCancelHandler(void (*onCancel)(int));

}  // namespace tarnwick::platform

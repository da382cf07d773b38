// Ctrl-C, SIGTERM and SIGHUP cancel batch mode as the progress dialog's
// Cancel button would: the handler only records the signal, and the progress
// display raises the cancellation at its next check. After the clean-up the
// program ends by the same signal, so a calling shell sees it was interrupted.
#pragma once

namespace tarnwick::console {

// Installs the handlers, leaving a signal alone that the caller ignores (as
// nohup and background jobs arrange), and ignores SIGPIPE so that a closed
// standard error never ends a run half-way.
void InstallCancelSignals();

// The first signal received, or 0.
int ReceivedCancelSignal();

// Ends the process by signo with its default action.
[[noreturn]] void EndBySignal(int signo);

}  // namespace tarnwick::console

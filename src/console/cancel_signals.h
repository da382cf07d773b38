// Ctrl-C, SIGTERM and SIGHUP cancel batch mode as the progress dialog's
// Cancel button would: the handler only records the signal, and the progress
// display raises the cancellation at its next check. After the clean-up the
// program exits with 128 + the signal's number, the status a shell gives a
// command the signal ended, so that callers of every kind can tell.
#pragma once

namespace tarnwick::console {

// Installs the handlers, leaving a signal alone that the caller ignores (as
// nohup and background jobs arrange), and ignores SIGPIPE so that a closed
// standard error never ends a run half-way.
void InstallCancelSignals();

// While set, a cancel signal ends the process at once with its status: for
// the time before the export, when the program only reads and what it
// writes (settings, the update-checker entry) is replaced atomically, so that
// even a read that blocks cannot hold a cancelled run.
void SetCancelEndsAtOnce(bool atOnce);

// The first signal received, or 0.
int ReceivedCancelSignal();

// The exit status of a run the signal cancelled: 130 for SIGINT, 143 for
// SIGTERM, 129 for SIGHUP.
int CancelledExitStatus(int signo);

}  // namespace tarnwick::console

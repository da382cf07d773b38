// The window front end: the start-up sequence with message boxes, then the
// main window until it is closed.
#pragma once

#include <functional>
#include <memory>

#include "backitem/startup.h"
#include "common/ports.h"

namespace tarnwick::ui {

// The program's font: "MS UI Gothic" where it exists, else a Japanese font
// of the system.
void UseJapaneseFont();

// True when a window can be shown: an X or Wayland display, or a Qt platform
// chosen by the caller (offscreen for tests).
bool HasDisplay();

// Runs body with a Qt application set up (font included) and returns its result.
int WithApplication(int& argc, char** argv, const std::function<int()>& body);

// The progress dialog, for batch runs on a display.
std::function<std::unique_ptr<ProgressPort>(const bool&)> ProgressDialogFactory();

// Runs the window program; returns Started when the window was shown and
// closed, else the start-up outcome that ended it.
StartupOutcome RunWindow(int& argc, char** argv, const StartupInput& input,
                         const RegistrySourceFactory& openSource);

}  // namespace tarnwick::ui

// The window front end: the start-up sequence with message boxes, then the
// main window until it is closed.
#pragma once

#include "backitem/startup.h"

namespace tarnwick::ui {

// True when a window can be shown: an X or Wayland display, or a Qt platform
// chosen by the caller (offscreen for tests).
bool HasDisplay();

// Runs the window program; returns Started when the window was shown and
// closed, else the start-up outcome that ended it.
StartupOutcome RunWindow(int& argc, char** argv, const StartupInput& input,
                         const RegistrySourceFactory& openSource);

}  // namespace tarnwick::ui

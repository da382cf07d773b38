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
// chosen by the caller that needs neither (offscreen for tests). xcb or
// wayland without DISPLAY or WAYLAND_DISPLAY is no display.
bool HasDisplay();

// Runs a batch run's body with a Qt application set up (font included) and
// returns its result. A batch run never ends for want of a display: when
// none of the platforms can be opened, Qt runs offscreen and body is told
// onDisplay false, so that the run shows no dialog that nobody could see.
int WithBatchApplication(int& argc, char** argv, const std::function<int(bool onDisplay)>& body);

// The progress dialog, for batch runs on a display.
std::function<std::unique_ptr<ProgressPort>(const bool&)> ProgressDialogFactory();

// Runs the window program; returns Started when the window was shown and
// closed, else the start-up outcome that ended it.
StartupOutcome RunWindow(int& argc, char** argv, const StartupInput& input,
                         const RegistrySourceFactory& openSource);

}  // namespace tarnwick::ui

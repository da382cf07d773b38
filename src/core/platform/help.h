// The system's own help viewer, where there is one: HTML Help on Windows for
// a compiled help file (.chm).
#pragma once

#include <string>

namespace tarnwick::platform {

// Opens the compiled help file at a context number; false when there is no
// such file or viewer, and the caller then shows its HTML pages.
bool ShowHtmlHelp(const std::string& helpFile, int context);

}  // namespace tarnwick::platform

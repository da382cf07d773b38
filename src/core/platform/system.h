// What the program asks of the operating system about itself: where its
// file is, its build number, and which REG version the system imports.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick::platform {

// True in the Windows build: for the few texts and defaults that differ.
#ifdef _WIN32
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

// The full path of the running program file; argv0 is the fallback where
// the system cannot say.
std::string RunningProgramPath(const char* argv0);

// The build number: on Windows the fourth part of the product version in
// the program file's version resource, elsewhere (or without a resource)
// the one the build was made with.
uint32_t ProgramBuildNumber(const std::string& programPath);

// The folders the program takes from its user. On Windows relative names
// are the program folder's, and the configuration folder is
// %APPDATA%\Tarnwick\ (the folder beside the program still comes first).
// $HOME, else the user's entry in the password database; empty on Windows.
std::string HomeFolder();
// The current folder, with a trailing '/'; empty when it cannot be found,
// and on Windows, where the program's folder is the base.
std::string WorkingDir();
// $XDG_CONFIG_HOME/tarnwick/ (~/.config/tarnwick/ without it).
std::string ConfigDir();

// The REG version the system's registry editor imports: 5 on Windows 2000
// and later, 4 before. 5 without Windows: it keeps every character.
int NativeRegEditVersion();

}  // namespace tarnwick::platform

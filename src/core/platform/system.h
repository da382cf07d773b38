// What the program asks of the operating system about itself: where its
// file is, its build number, and which REG version the system imports.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick::platform {

// The full path of the running program file; argv0 is the fallback where
// the system cannot say.
std::string RunningProgramPath(const char* argv0);

// The build number: on Windows the fourth part of the product version in
// the program file's version resource, elsewhere (or without a resource)
// the one the build was made with.
uint32_t ProgramBuildNumber(const std::string& programPath);

// The REG version the system's registry editor imports: 5 on Windows 2000
// and later, 4 before. 5 without Windows: it keeps every character.
int NativeRegEditVersion();

}  // namespace tarnwick::platform

// Registration with the maker's update-checker tool: under
// HKCU\Software\Wendlor, when that key exists, the program's distinct name,
// the full path of its program file and its build number.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

class TRegistry;

// The maker's key and values. The update checker is a separate tool; these
// are this project's own placeholders under a reserved domain.
inline constexpr const char* kUpdateCheckerKey = "Software\\Wendlor";
inline constexpr const char* kMakerKey = "updates@tarnwick.example.invalid";
inline constexpr const char* kMakerAuthor = "Tarnwick developers";
inline constexpr const char* kMakerDisplayHost = "tarnwick.example.invalid";
inline constexpr const char* kMakerInfoUrl = "https://tarnwick.example.invalid/update.txt";

// The fourth part of the program's version, set once by the build system.
inline constexpr uint32_t kBuildNumber = TARNWICK_BUILD;

// Registers the program. Does nothing without the update checker's key.
// Throws ERegistryException, naming the value, when a value cannot be written;
// what was written before stays.
void RegisterUpdateCheck(TRegistry& registry, const std::string& distinctName,
                         const std::string& displayName, const std::string& programPath,
                         uint32_t build = kBuildNumber);

}  // namespace tarnwick

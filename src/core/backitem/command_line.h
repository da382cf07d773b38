// The program's command line: a data file name and option letters after '-'
// (or '/' on Windows). On POSIX only '-' introduces options, so a name
// beginning with '/' is a path.
//   name       the data file (".dat" added when it has no extension)
//   -i[:|=]F   the settings file F (".ini" added); the value ends the argument
//   -r[:|=]D   the registry source, a Wine prefix folder; ends the argument;
//              without a value it names the program's folder, as -i does
//   -u[:|=]N   the user profile whose registry is HKCU when -r names a
//              Windows installation: its folder name (or SID); ends the argument
//   -p, -w     switch the progress display off / batch export on; a '+' or
//              '-' after the letter sets or clears, no sign toggles
// Letters may be upper or lower case and several may share one argument.
// Relative names are taken from the base folder: the current folder on POSIX,
// the program's folder on Windows.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

struct ProgramState;

struct CommandLineOptions {
  bool BatchExport = false;
  std::optional<std::string> RegistrySource;  // the resolved -r value; none without -r
  std::optional<std::string> UserProfile;     // the -u value; none without -u
};

// Applies argv[1..] in order to state (IniFileName, DataFileName,
// ProgressOff) and options. A wrong argument does not stop the others from
// being applied; returns false when there was one.
bool ParseCommandLine(const std::vector<std::string>& arguments, const std::string& baseDir,
                      ProgramState& state, CommandLineOptions& options);

}  // namespace tarnwick

#include "backitem/command_line.h"

#include "backitem/program_state.h"
#include "common/path_utils.h"

namespace tarnwick {
namespace {

// A switch letter's optional sign: '+' sets, '-' clears, none toggles.
// Consumes the sign.
void ApplySwitch(const std::string& argument, std::size_t& pos, bool& value) {
  if (pos < argument.size() && argument[pos] == '+') {
    value = true;
    ++pos;
  } else if (pos < argument.size() && argument[pos] == '-') {
    value = false;
    ++pos;
  } else {
    value = !value;
  }
}

// The value of a letter that takes the rest of the argument: a sign and then
// one ':' or '=' are skipped first.
std::string RestAsValue(const std::string& argument, std::size_t pos) {
  if (pos < argument.size() && (argument[pos] == '+' || argument[pos] == '-')) ++pos;
  if (pos < argument.size() && (argument[pos] == ':' || argument[pos] == '=')) ++pos;
  return argument.substr(pos);
}

// Applies the option letters of one argument after its leading '-'.
bool ParseOptionLetters(const std::string& argument, const std::string& baseDir,
                        ProgramState& state, CommandLineOptions& options) {
  bool ok = argument.size() > 1;  // '-' alone names nothing
  std::size_t pos = 1;
  while (pos < argument.size()) {
    char letter = argument[pos++];
    switch (letter) {
      case 'i':
      case 'I':
        state.IniFileName = ResolveFileName(RestAsValue(argument, pos), ".ini", baseDir);
        return ok;
      case 'r':
      case 'R':
        // As -i; without a value it names the program's folder, which start-up
        // then refuses as a registry source unless it holds registry files.
        options.RegistrySource = ResolveFileName(RestAsValue(argument, pos), "", baseDir);
        return ok;
      case 'u':
      case 'U':
        options.UserProfile = RestAsValue(argument, pos);
        return ok;
      case 'p':
      case 'P':
        ApplySwitch(argument, pos, state.ProgressOff);
        break;
      case 'w':
      case 'W':
        ApplySwitch(argument, pos, options.BatchExport);
        break;
      default:
        ok = false;  // the next character is still read as a letter
        break;
    }
  }
  return ok;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& arguments, const std::string& baseDir,
                      ProgramState& state, CommandLineOptions& options) {
  bool ok = true;
  for (const std::string& argument : arguments) {
    if (argument.empty()) {
      break;  // the argument list ends at the first empty argument
    } else if (argument[0] == '-' || (kPathDelim == '\\' && argument[0] == '/')) {
      if (!ParseOptionLetters(argument, baseDir, state, options)) ok = false;
    } else {
      state.DataFileName = ResolveFileName(argument, ".dat", baseDir);
    }
  }
  return ok;
}

}  // namespace tarnwick

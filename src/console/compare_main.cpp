#include "console/compare_main.h"

#include <cstdio>
#include <exception>
#include <vector>

#include "backitem/command_line.h"
#include "backitem/program_state.h"
#include "common/errors.h"
#include "common/path_utils.h"
#include "common/text_codec.h"
#include "console/exit_status.h"
#include "console/stderr_prompts.h"
#include "regread/reg_compare.h"

namespace tarnwick::console {
namespace {

void Say(const std::string& text) {
  std::fputs(ConsoleMessage(text, "").c_str(), stderr);
}

std::string ValueLine(const std::string& name, const RegValue& value) {
  std::string shown = "@";
  if (!name.empty()) {
    shown = "\"";
    for (char c : name) {
      if (c == '"' || c == '\\') shown += '\\';
      shown += c;
    }
    shown = ShownName(shown) + "\"";
  }
  return shown + "=" + RegValueText(value);
}

// Keys as the file names them, marked when added or deleted; value changes
// indented below their key.
void PrintChanges(const RegComparison& comparison) {
  const std::string* shownKey = nullptr;
  for (const RegChange& change : comparison.changes) {
    std::string line;
    switch (change.kind) {
      case RegChange::Kind::KeyAdded:
        line = "+ [" + ShownName(change.key) + "]";
        break;
      case RegChange::Kind::KeyDeleted:
        line = "- [" + ShownName(change.key) + "]";
        break;
      case RegChange::Kind::ValueAdded:
        line = "    + " + ValueLine(change.valueName, *change.after);
        break;
      case RegChange::Kind::ValueDeleted:
        line = "    - " + ValueLine(change.valueName, *change.before);
        break;
      case RegChange::Kind::ValueChanged:
        line = "    ~ " + ValueLine(change.valueName, *change.after) + "  (今は " +
               RegValueText(*change.before) + ")";
        break;
    }
    const bool keyLine = change.kind <= RegChange::Kind::KeyDeleted;
    if (!keyLine && (!shownKey || *shownKey != change.key)) {
      std::printf("  [%s]\n", ShownName(change.key).c_str());
    }
    shownKey = &change.key;
    std::printf("%s\n", line.c_str());
  }
  std::printf("%s\n", RegChangeCountsText(comparison.counts).c_str());
}

}  // namespace

int RunCompare(const StartupInput& input, const RegistrySourceOpenerFor& openerFor) {
  const std::vector<std::string>& arguments = input.arguments;
  // Only -r and -u may follow the file: anything else belongs to an export.
  bool valid = arguments.size() >= 2 && !arguments[1].empty() && arguments[1][0] != '-';
  for (std::size_t i = 2; valid && i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    valid = a.size() >= 2 && (a[0] == '-' || (kPathDelim == '\\' && a[0] == '/')) &&
            (a[1] == 'r' || a[1] == 'R' || a[1] == 'u' || a[1] == 'U');
  }
  const std::string baseDir =
      input.workingDir.empty() ? ExtractFilePath(input.programPath) : input.workingDir;
  ProgramState scratch;
  CommandLineOptions options;
  if (!valid || !ParseCommandLine(std::vector<std::string>(arguments.begin() + 2, arguments.end()),
                                  baseDir, scratch, options)) {
    Say("起動オプションに誤りがあります。使い方: tarnwick --compare REG ファイル [-rフォルダー] "
        "[-uユーザー]");
    return kExitCommandLine;
  }
  const std::string file = ResolveFileName(arguments[1], "", baseDir);
  const std::string source = options.RegistrySource.value_or(input.defaultRegistrySource);
  std::unique_ptr<RegistryStore> store;
  try {
    store = openerFor(options.UserProfile.value_or(""))(source);
  } catch (const ERegistrySourceError& e) {
    Say(e.what());
    return kExitRegistrySource;
  }
  RegComparison comparison;
  try {
    comparison = CompareRegFile(file, *store);
  } catch (const ERegReadError& e) {
    Say(e.what());
    return kExitDataFile;
  } catch (const EInOutError& e) {
    Say("ファイル '" + file + "' が開けません。\n" + e.what());
    return kExitDataFile;
  }
  for (const RegReadProblem& problem : comparison.problems) {
    Say("インポートで読み飛ばされる行: " + ShownName(RegReadProblemText(file, problem)));
  }
  PrintChanges(comparison);
  for (const std::string& key : comparison.unreadableKeys) {
    Say("読めないキーなので、インポートで何が変わるかわかりません: " + ShownName(key));
  }
  std::fflush(stdout);
  return comparison.counts.Total() == 0 && comparison.unreadableKeys.empty() ? kExitSuccess
                                                                             : kExitWouldChange;
}

}  // namespace tarnwick::console

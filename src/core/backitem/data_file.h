// The data file: the backup items and the export settings of one item list,
// in an INI file (CP932). Loading converts files of version 1.xx first.
#pragma once

#include <string>

namespace tarnwick {

class BackListView;
class PromptPort;
class TBackItems;
struct ProgramState;

inline constexpr const char* kDataFileVersion = "205";

// What loading and saving touch: the state's DataFileName, Settings,
// DefaultSettings, DataModified and Caption, the item list, the prompts, and
// the item list view when there is one (none in batch mode).
struct DataFileContext {
  ProgramState& state;
  TBackItems& items;
  PromptPort& prompts;
  BackListView* view = nullptr;
};

// Fills the (empty) item list and Settings from DataFileName. False when the
// file could not be read and the user gave up (Cancel on Retry/Cancel, or a
// 1.xx backup refused). Throws EInOutError when the file exists but cannot
// be opened, or a 1.xx file cannot be converted.
bool LoadDataFile(DataFileContext& context);

// Writes the items and Settings when DataModified is set. A failure to read
// the existing file or to write the new one asks Retry/Cancel; returns false
// when the user gave up.
bool SaveDataFile(DataFileContext& context);

// Rewrites a version 1.xx data file in the current layout, after copying it
// to the name with ".1xx" before the extension. Throws EInOutError.
void ConvertDataFile1xx(const std::string& fileName);

// Names of a version 1.xx backup copy may never be opened or written.
bool IsDataFile1xxBackup(const std::string& fileName);

// The key under which an item name is stored, and back. Beyond "=" and "%",
// what the INI syntax would lose is escaped as %XX too: control characters,
// a leading ";" (a comment) and leading or trailing blanks (trimmed).
std::string ItemNameKey(const std::string& name);
std::string ItemNameFromKey(const std::string& key);

}  // namespace tarnwick

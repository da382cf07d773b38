// The application settings file: window geometry, remembered dialog sizes,
// preferences and DefaultSettings. Read once at start-up, written once when
// the main window closes (never by batch mode).
#pragma once

namespace tarnwick {

class PromptPort;
struct ProgramState;

// Reads IniFileName into the state, migrating the layouts of older versions
// first. A missing file leaves every default; so does one that cannot be
// read, which is reported and marked never to be written (IniFileRefused).
void LoadAppSettings(ProgramState& state, PromptPort& prompts);

// Writes the state into IniFileName (not a refused one). Returns false when
// the user gave up after a failed write.
bool SaveAppSettings(ProgramState& state, PromptPort& prompts);

}  // namespace tarnwick

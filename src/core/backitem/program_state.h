// The program-wide state that every window and the batch mode share: the
// export settings, preferences, remembered window sizes and the file names
// fixed at start-up. One object per program run.
#pragma once

#include <cstdint>
#include <string>

#include "backitem/option.h"

namespace tarnwick {

// The main window's geometry: as designed until the settings file is read,
// then as remembered; the Qt window applies it.
struct MainWindowGeometry {
  int32_t Left = 0, Top = 0, Width = 0, Height = 0;
  int32_t State = 0;  // 0 normal, 1 minimised, 2 maximised
  int32_t BackListColumns[4] = {150, 180, 130, 60};
};

// Everything starts zero, false or empty; the settings file supplies the
// defaults of the preferences it reads (MaxLevel 2, Zoduvi on).
struct ProgramState {
  TOption Settings;         // export settings of the open data file
  TOption DefaultSettings;  // given to a data file that states none
  bool ConfirmDelete = false;
  bool ProgressOff = false;
  int32_t PropertyWidth = 0, PropertyHeight = 0, PropertySplitter = 0;
  int32_t EntryListWidth = 0, EntryListHeight = 0;
  int32_t EntryList0 = 0, EntryList1 = 0, EntryList2 = 0;
  bool AutoSplitter = false;
  int32_t MaxLevel = 0;  // depth of progress accounting; below 0 turns the display off
  bool Zoduvi = false;   // register with the update checker at start
  bool DataModified = false;
  bool IniFileRefused = false;  // the settings file could not be read and is never written
  MainWindowGeometry Window;

  std::string ExeFileName;   // the program file
  std::string ProgramDir;    // its folder, with a trailing separator
  std::string IniFileName;   // the application settings file
  std::string DataFileName;  // the open data file
  std::string Caption;       // of the main window and the application, from the data file's name
};

}  // namespace tarnwick

#include "backitem/app_settings.h"

#include <string>

#include "backitem/option_io.h"
#include "backitem/profile_file.h"
#include "backitem/program_state.h"
#include "common/prompts.h"

namespace tarnwick {
namespace {

constexpr const char* kTarnwick = "Tarnwick";
constexpr const char* kWindow = "Window";
constexpr const char* kSettings = "Settings";
constexpr const char* kDefaultSettings = "DefaultSettings";

std::string BackListKey(int column) {
  return "BackList" + std::to_string(column);
}

struct SizeKey {
  const char* name;
  int32_t ProgramState::*field;
};

constexpr SizeKey kSizeKeys[] = {
    {"PropertyWidth", &ProgramState::PropertyWidth},
    {"PropertyHeight", &ProgramState::PropertyHeight},
    {"PropertySplitter", &ProgramState::PropertySplitter},
    {"EntryListWidth", &ProgramState::EntryListWidth},
    {"EntryListHeight", &ProgramState::EntryListHeight},
    {"EntryList0", &ProgramState::EntryList0},
    {"EntryList1", &ProgramState::EntryList1},
    {"EntryList2", &ProgramState::EntryList2},
};

// Brings settings of older versions to the current layout; false when the
// migration had to write and could not.
bool Migrate(ProfileFile& ini, ProgramState& state) {
  std::string version = ini.ReadString(kTarnwick, "Version", "205");
  bool wrote = false;
  if (version <= "1990") {
    // Version 1.xx had no name column: every width moves one column up.
    int32_t* widths = state.Window.BackListColumns;
    for (int k = 3; k >= 1; --k) {
      ini.WriteInteger(kWindow, BackListKey(k),
                       ini.ReadInteger(kWindow, BackListKey(k - 1), widths[k]));
    }
    ini.WriteInteger(kWindow, BackListKey(0), widths[0]);
    wrote = true;
  }
  if (version < "2000") ini.DeleteKey(kSettings, "PropertyAdd");
  int error = ini.Flush();
  return error == 0 || !wrote;  // removing the old key never reports a failure
}

}  // namespace

void LoadAppSettings(ProgramState& state, PromptPort& prompts) {
  for (;;) {
    ProfileFile ini(state.IniFileName);
    state.IniFileRefused = !ini.Problem().empty();
    if (state.IniFileRefused) {
      // Read as empty: every setting takes its default, and the file is
      // never written, so that nothing in it is lost.
      ErrorMessage(prompts, "設定ファイル '" + state.IniFileName + "' を読み込めません。\r\n" +
                                ini.Problem() +
                                "\r\n既定の設定を使い、このファイルは書き換えません。");
    } else if (!Migrate(ini, state)) {
      if (OpenErrorMessage(prompts, state.IniFileName) == PromptAnswer::Retry) continue;
      return;
    }
    MainWindowGeometry& window = state.Window;
    window.Left = ini.ReadInteger(kWindow, "Left", window.Left);
    window.Top = ini.ReadInteger(kWindow, "Top", window.Top);
    window.Width = ini.ReadInteger(kWindow, "Width", window.Width);
    window.Height = ini.ReadInteger(kWindow, "Height", window.Height);
    window.State = ini.ReadInteger(kWindow, "State", 0);
    for (int k = 0; k < 4; ++k) {
      window.BackListColumns[k] =
          ini.ReadInteger(kWindow, BackListKey(k), window.BackListColumns[k]);
    }
    for (const SizeKey& key : kSizeKeys) state.*key.field = ini.ReadInteger(kWindow, key.name, 0);
    state.ConfirmDelete = ini.ReadBool(kSettings, "ConfirmDelete", false);
    state.AutoSplitter = ini.ReadBool(kSettings, "AutoSplitter", false);
    state.MaxLevel = ini.ReadInteger(kSettings, "MaxLevel", 2);
    state.Zoduvi = ini.ReadBool(kSettings, "Zoduvi", true);
    if (state.MaxLevel < 0) state.ProgressOff = true;
    state.DefaultSettings = TOption();
    ReadOption(ini, kDefaultSettings, state.DefaultSettings);
    return;
  }
}

bool SaveAppSettings(ProgramState& state, PromptPort& prompts) {
  if (state.IniFileRefused) return true;
  for (;;) {
    ProfileFile ini(state.IniFileName);
    ini.WriteString(kTarnwick, "Version", "205");
    const MainWindowGeometry& window = state.Window;
    ini.WriteInteger(kWindow, "Left", window.Left);
    ini.WriteInteger(kWindow, "Top", window.Top);
    ini.WriteInteger(kWindow, "Width", window.Width);
    ini.WriteInteger(kWindow, "Height", window.Height);
    ini.WriteInteger(kWindow, "State", window.State);
    for (int k = 0; k < 4; ++k)
      ini.WriteInteger(kWindow, BackListKey(k), window.BackListColumns[k]);
    for (const SizeKey& key : kSizeKeys) ini.WriteInteger(kWindow, key.name, state.*key.field);
    ini.WriteBool(kSettings, "ConfirmDelete", state.ConfirmDelete);
    WriteOption(ini, kDefaultSettings, state.DefaultSettings);
    int error = ini.Flush();
    if (error == 0) return true;
    if (SaveErrorMessage(prompts, state.IniFileName, SaveFailureReason(error, state.IniFileName)) !=
        PromptAnswer::Retry) {
      return false;
    }
  }
}

}  // namespace tarnwick

#include "backitem/startup.h"

#include <exception>
#include <filesystem>

#include "backitem/app_settings.h"
#include "backitem/data_file.h"
#include "backitem/update_check.h"
#include "common/errors.h"
#include "common/key_path.h"
#include "common/path_utils.h"
#include "common/prompts.h"
#include "platform/files.h"
#include "platform/system.h"
#include "registry/registry.h"

namespace tarnwick {
namespace {

// The help pages beside the program (a build, the Windows zip, a portable
// copy), else in share/tarnwick/help/ next to the program's bin folder,
// where the Debian package puts them. Beside it when neither is there: the
// browser then names the missing page.
std::string HelpFolder(const std::string& programDir) {
  const std::string beside = programDir + "help" + kPathDelim;
  if (platform::FileExists(beside + "index.html")) return beside;
  const std::string installed = ExtractFilePath(ExtractFileDir(programDir)) + "share" + kPathDelim +
                                "tarnwick" + kPathDelim + "help" + kPathDelim;
  return platform::FileExists(installed + "index.html") ? installed : beside;
}

void SetProgramFileNames(Session& session, const StartupInput& input) {
  ProgramState& state = session.state;
  state.ExeFileName = GetLongFileName(input.programPath);
  state.ProgramDir = ExtractFilePath(state.ExeFileName);
  session.helpFileName = ChangeFileExt(state.ExeFileName, ".chm");
  session.helpDir = HelpFolder(state.ProgramDir);
  state.IniFileName = ChangeFileExt(state.ExeFileName, ".ini");
  state.DataFileName = ChangeFileExt(state.ExeFileName, ".dat");
  if (input.configDir.empty()) return;
  for (std::string* name : {&state.IniFileName, &state.DataFileName}) {
    if (!platform::FileExists(*name)) *name = input.configDir + ExtractFileName(*name);
  }
}

// The configuration folder is made when a file of the program is to live
// there, so that the data file can be saved into it.
void MakeConfigDir(const ProgramState& state, const std::string& configDir) {
  if (configDir.empty()) return;
  for (const std::string& name : {state.IniFileName, state.DataFileName}) {
    if (ExtractFilePath(name) == configDir) {
      std::error_code ignored;  // a failure shows when the file is written
      std::filesystem::create_directories(platform::FsPath(configDir), ignored);
      return;
    }
  }
}

void LoadData(Session& session, PromptPort& prompts) {
  ProgramState& state = session.state;
  session.dataFileFound = platform::FileExists(state.DataFileName);
  DataFileContext context{state, session.items, prompts, nullptr};
  try {
    session.dataFileLoadFailed = !LoadDataFile(context);
  } catch (const std::exception& e) {
    ErrorMessage(prompts, "ファイル '" + state.DataFileName + "' が開けません。\r\n" + e.what(),
                 kProgramName);
    session.dataFileLoadFailed = true;
  }
}

// Registration is not worth failing a start (or a backup) for: a failure is
// reported and start-up goes on. A registry that cannot be written (a
// Windows installation's hives) is left alone, with a note.
void RegisterWithUpdateChecker(Session& session, StartupPorts& ports) {
  if (session.store->ReadOnly()) {
    ports.Note("読み取り専用のレジストリなので、アップデート チェッカーには登録しません: " +
               session.registrySource);
    return;
  }
  PromptPort& prompts = ports.Prompts();
  try {
    TRegistry registry(*session.store);
    registry.SetRootKey(kHKeyCurrentUser);
    RegisterUpdateCheck(registry, "Tarnwick2", "", session.state.ExeFileName,
                        platform::ProgramBuildNumber(session.state.ExeFileName));
  } catch (const std::exception& e) {
    prompts.ShowMessage(
        std::string("アップデート チェッカーに登録できませんでした。\r\n") + e.what(), kProgramName,
        PromptIcon::Warning);
  }
}

}  // namespace

StartupOutcome StartProgram(Session& session, const StartupInput& input, StartupPorts& ports) {
  PromptPort& prompts = ports.Prompts();
  if (!ports.AcquireInstanceLock()) {
    ErrorMessage(prompts, "このプログラムを複数同時に起動することはできません。", kProgramName);
    return StartupOutcome::AlreadyRunning;
  }
  SetProgramFileNames(session, input);
  ProgramState& state = session.state;
  const std::string& baseDir = input.workingDir.empty() ? state.ProgramDir : input.workingDir;
  if (!ParseCommandLine(input.arguments, baseDir, state, session.options)) {
    ErrorMessage(prompts, "起動オプションに誤りがあります。", kProgramName);
    return StartupOutcome::CommandLineError;
  }

  session.registrySource = session.options.RegistrySource.value_or(input.defaultRegistrySource);
  try {
    session.store = ports.OpenRegistrySource(session.registrySource);
  } catch (const ERegistrySourceError& e) {
    ErrorMessage(prompts, e.what(), kProgramName);
    return StartupOutcome::RegistrySourceError;
  }
  // Said once, before anything is read: the source is read as it is.
  for (const std::string& note : session.store->SourceNotes()) {
    prompts.ShowMessage(note, kProgramName, PromptIcon::Warning);
  }

  MakeConfigDir(state, input.configDir);
  session.items.SortColumn = 0;
  LoadAppSettings(state, prompts);
  LoadData(session, prompts);
  if (state.Zoduvi) RegisterWithUpdateChecker(session, ports);
  return StartupOutcome::Started;
}

}  // namespace tarnwick

#include "backitem/startup.h"

#include <exception>

#include "backitem/app_settings.h"
#include "backitem/data_file.h"
#include "common/errors.h"
#include "common/file_ops.h"
#include "common/key_path.h"
#include "common/path_utils.h"
#include "common/prompts.h"
#include "common/update_check.h"
#include "registry/registry_store.h"
#include "regwrite/export_run.h"

namespace tarnwick {
namespace {

// Passes prompts on and remembers whether one reported a failure the user
// gave up on: an error box, or Cancel on a Retry/Cancel question.
class FailureWatch : public PromptPort {
 public:
  explicit FailureWatch(PromptPort& inner) : inner_(inner) {}
  bool Failed() const { return failed_; }

  void ShowMessage(const std::string& text, const std::string& caption, PromptIcon icon) override {
    if (icon == PromptIcon::Error) failed_ = true;
    inner_.ShowMessage(text, caption, icon);
  }
  PromptAnswer AskRetryCancel(const std::string& text, const std::string& caption) override {
    PromptAnswer answer = inner_.AskRetryCancel(text, caption);
    if (answer != PromptAnswer::Retry) failed_ = true;
    return answer;
  }
  PromptAnswer AskYesNo(const std::string& text, const std::string& caption,
                        PromptIcon icon) override {
    return inner_.AskYesNo(text, caption, icon);
  }

 private:
  PromptPort& inner_;
  bool failed_ = false;
};

// Passes progress on and remembers whether it cancelled the run, which the
// export run itself ends silently.
class CancelWatch : public ProgressDisplay {
 public:
  explicit CancelWatch(ProgressDisplay& inner) : inner_(inner) {}
  bool Cancelled() const { return cancelled_; }

  void StartProgress(const std::string& info, const std::string& caption, int max) override {
    inner_.StartProgress(info, caption, max);
  }
  void CloseProgress() override { inner_.CloseProgress(); }
  void SetProgress(int percent) override {
    Watch([&] { inner_.SetProgress(percent); });
  }
  void CheckCancel() override {
    Watch([&] { inner_.CheckCancel(); });
  }

 private:
  template <typename F>
  void Watch(F call) {
    try {
      call();
    } catch (const EProgressCanceled&) {
      cancelled_ = true;
      throw;
    }
  }

  ProgressDisplay& inner_;
  bool cancelled_ = false;
};

void SetProgramFileNames(Session& session, const std::string& programPath) {
  ProgramState& state = session.state;
  state.ExeFileName = GetLongFileName(programPath);
  state.ProgramDir = ExtractFilePath(state.ExeFileName);
  session.helpFileName = ChangeFileExt(state.ExeFileName, ".chm");
  state.IniFileName = ChangeFileExt(state.ExeFileName, ".ini");
  state.DataFileName = ChangeFileExt(state.ExeFileName, ".dat");
}

void LoadData(Session& session, PromptPort& prompts) {
  ProgramState& state = session.state;
  session.dataFileFound = FileExists(state.DataFileName);
  FailureWatch watch(prompts);
  DataFileContext context{state, session.items, watch, nullptr};
  try {
    LoadDataFile(context);
  } catch (const std::exception& e) {
    ErrorMessage(watch, "ファイル '" + state.DataFileName + "' が開けません。\r\n" + e.what(),
                 kProgramName);
  }
  session.dataFileLoadFailed = watch.Failed();
}

// Registration is not worth failing a start (or a backup) for: a failure is
// reported and start-up goes on.
void RegisterWithUpdateChecker(Session& session, PromptPort& prompts) {
  try {
    TRegistry registry(*session.store);
    registry.SetRootKey(kHKeyCurrentUser);
    RegisterUpdateCheck(registry, "Tarnwick2", "", session.state.ExeFileName);
  } catch (const std::exception& e) {
    prompts.ShowMessage(
        std::string("アップデート チェッカーに登録できませんでした。\r\n") + e.what(), kProgramName,
        PromptIcon::Warning);
  }
}

// Where an export failure happened: the one file, or the folder of per-item files.
std::string ExportTarget(const ProgramState& state) {
  std::string f = RegOutputFileName(state.DataFileName, state.Settings);
  return state.Settings.Separate ? ExtractFilePath(f) : f;
}

// Exports every item; false when an error other than cancellation ended it.
bool ExportAllItems(Session& session, StartupPorts& ports, CancelWatch& progress) {
  if (session.items.Count() == 0) return true;
  std::vector<int> indices;
  for (int i = 0; i < session.items.Count(); ++i) indices.push_back(i);
  ExportContext context{session.state, session.items, *session.registry, ports.Prompts(), progress,
                        ports.Pump(),  nullptr};
  try {
    progress.CheckCancel();  // a request that came during start-up
    RegWriteItems(context, indices, session.state.Settings);
  } catch (const EProgressCanceled&) {
  } catch (const std::exception& e) {
    ErrorMessage(ports.Prompts(),
                 std::string(e.what()) + "\r\n書き出し先: " + ExportTarget(session.state),
                 kProgramName);
    return false;
  }
  return true;
}

bool SaveData(Session& session, PromptPort& prompts) {
  DataFileContext context{session.state, session.items, prompts, nullptr};
  try {
    return SaveDataFile(context);
  } catch (const std::exception& e) {
    ErrorMessage(prompts,
                 "ファイル '" + session.state.DataFileName + "' が保存できません。\r\n" + e.what(),
                 kProgramName);
    return false;
  }
}

}  // namespace

StartupOutcome StartProgram(Session& session, const StartupInput& input, StartupPorts& ports) {
  PromptPort& prompts = ports.Prompts();
  if (!ports.AcquireInstanceLock()) {
    ErrorMessage(prompts, "このプログラムを複数同時に起動することはできません。", kProgramName);
    return StartupOutcome::AlreadyRunning;
  }
  SetProgramFileNames(session, input.programPath);
  ProgramState& state = session.state;
  if (!ParseCommandLine(input.arguments, state.ProgramDir, state, session.options)) {
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
  session.registry = std::make_unique<TRegistry>(*session.store);

  session.items.SortColumn = 0;
  LoadAppSettings(state, prompts);
  LoadData(session, prompts);
  if (state.Zoduvi) RegisterWithUpdateChecker(session, prompts);
  return StartupOutcome::Started;
}

StartupOutcome RunBatchExport(Session& session, StartupPorts& ports) {
  PromptPort& prompts = ports.Prompts();
  if (!session.dataFileFound) {
    // A new, empty list: nothing is exported and the data file is created.
    // Said on standard error, so that a mistyped name does not pass unseen.
    prompts.ShowMessage("データ ファイル '" + session.state.DataFileName +
                            "' がないので、新しく作ります。書き出すアイテムはありません。",
                        kProgramName, PromptIcon::Warning);
  }
  if (session.dataFileLoadFailed) {
    ErrorMessage(prompts, "データ ファイルを読み込めなかったので、書き出しを行いません。",
                 kProgramName);
    return StartupOutcome::DataFileError;
  }

  CancelWatch progress(ports.Progress());
  bool exported = ExportAllItems(session, ports, progress);
  bool saved = SaveData(session, prompts);
  if (progress.Cancelled()) {
    prompts.ShowMessage("書き出しを中止しました。", kProgramName, PromptIcon::Information);
    return StartupOutcome::Cancelled;
  }
  if (!exported) return StartupOutcome::ExportFailed;
  if (!saved) return StartupOutcome::SaveFailed;
  return StartupOutcome::BatchSucceeded;
}

std::string DefaultRegistrySource(const char* winePrefix, const char* home) {
  if (winePrefix && *winePrefix) return winePrefix;
  return std::string(home ? home : "") + "/.wine";
}

}  // namespace tarnwick

#include "regwrite/export_run.h"

#include <cmath>
#include <cstdio>

#include "backitem/back_item.h"
#include "backitem/program_state.h"
#include "common/collation.h"
#include "common/errors.h"
#include "common/file_names.h"
#include "common/key_path.h"
#include "common/path_utils.h"
#include "common/prompts.h"
#include "platform/files.h"
#include "registry/registry_store.h"
#include "regwrite/reg_file.h"
#include "regwrite/reg_text.h"

namespace tarnwick {
namespace {

constexpr std::size_t kListedKeys = 10;
constexpr int kMaxFileNumber = 99;

// Reads each file back against what the writer recorded, before the file
// takes its place.
class RecordCheck : public RegFileCheck {
 public:
  RecordCheck(const RegOutputFile& file, const BeforeCheckHook& beforeCheck)
      : file_(file), beforeCheck_(beforeCheck) {}
  WrittenRecord record;
  RegCheckCounts checked;

  void Begin() override { record.Clear(); }
  void MarkComplete() override { record.MarkComplete(); }
  void Check(const std::string& path, const std::string& target, bool partial) override {
    if (beforeCheck_) beforeCheck_(path);
    RegCheckCounts counts = CheckRegFile(path, target, file_.RegVersion(), record,
                                         partial ? record.Mark() : record.Entries().size());
    checked.keys += counts.keys;
    checked.values += counts.values;
  }

 private:
  const RegOutputFile& file_;
  const BeforeCheckHook& beforeCheck_;
};

// The state of one run.
class ExportRun {
 public:
  ExportRun(ExportContext& context, const std::vector<int>& indices, const TOption& option,
            const BeforeCheckHook& beforeCheck)
      : context_(context),
        indices_(indices),
        option_(option),
        writer_(context.store, file_, context.progress),
        check_(file_, beforeCheck) {
    writer_.Record = &check_.record;
    file_.SetCheck(&check_);
  }

  void Run();
  ExportLosses& Losses() { return writer_.Losses; }
  const RegCheckCounts& Checked() const { return check_.checked; }

 private:
  int TotalKeyCount() const;
  void WriteOneFile(const std::string& f);
  void WritePerItemFiles(const std::string& f);
  std::string ChooseItemFileName(const std::string& f, std::vector<std::string>& before) const;
  bool RegWriteItem();
  bool AddStoreProblems();

  ExportContext& context_;
  std::vector<int> indices_;
  TOption option_;
  RegOutputFile file_;
  RegWriter writer_;
  RecordCheck check_;
  int position_ = 0;
};

int ExportRun::TotalKeyCount() const {
  int total = 0;
  for (int index : indices_)
    total += static_cast<int>(context_.items.Items(index).BackupKeys.size());
  return total;
}

std::string MissingItemLine(const TBackItem& item) {
  std::string keys;
  for (const std::string& key : item.BackupKeys) keys += (keys.empty() ? "" : ", ") + key;
  return "アイテム '" + item.Name + "' のキーはどれも、存在しないかアクセスできません: " +
         (keys.empty() ? "(キーなし)" : keys);
}

// Every entry named "*.reg" in the folder, as full names.
std::vector<std::string> ListRegFiles(const std::string& folder) {
  std::vector<std::string> names;
  for (const std::string& name : platform::FolderEntries(folder)) {
    if (name.size() >= 4 && SameTextIgnoreCase(name.substr(name.size() - 4), ".reg")) {
      names.push_back(folder + name);
    }
  }
  return names;
}

void ExportRun::Run() {
  // Refuse before anything is touched: a run needs version 4 or 5.
  int version = EffectiveRegEditVer(option_.RegEditVer);
  if (version != 4 && version != 5) {
    throw TarnwickError("REGファイルの形式 (RegEditVer=" + std::to_string(option_.RegEditVer) +
                        ") が正しくありません。0、4 または 5 を指定してください。");
  }
  context_.store.Refresh([this] { context_.progress.ProcessMessages(); });
  context_.store.TakeProblems();  // what browsing found is not this run's

  std::string f = RegOutputFileName(context_.state.DataFileName, option_);
  file_.SetRegVersion(version);
  file_.SetCreateBackup(option_.CreateBackup);
  std::vector<std::string> inputs = context_.store.SourceFiles();
  inputs.push_back(context_.state.DataFileName);
  inputs.push_back(context_.state.IniFileName);
  file_.SetProtectedFiles(std::move(inputs));
  writer_.Options = {option_.FullRestore, option_.NewLineImport, option_.AddComment};
  writer_.ProgressPercent = 0;

  writer_.ProgressLevel =
      ProgressLevelFor(TotalKeyCount(), context_.state.MaxLevel, context_.state.ProgressOff);
  position_ = 0;

  if (option_.Separate) {
    WritePerItemFiles(f);
  } else {
    WriteOneFile(f);
  }
  const RegCheckCounts& checked = check_.checked;
  context_.progress.FinishProgress(checked.keys > 0 ? CheckedCountsText(checked) : "");
}

void ExportRun::WriteOneFile(const std::string& f) {
  writer_.TotalKeyCount = TotalKeyCount();
  file_.WriteRegFile(f, [this] {
    for (; position_ < static_cast<int>(indices_.size()); ++position_) {
      if (RegWriteItem()) file_.SetRegFileWritten(true);
      file_.MarkComplete();
    }
  });
}

void ExportRun::WritePerItemFiles(const std::string& f) {
  std::vector<std::string> before = ListRegFiles(ExtractFilePath(f));
  for (; position_ < static_cast<int>(indices_.size()); ++position_) {
    writer_.TotalKeyCount = TotalKeyCount();
    const TBackItem& item = context_.items.Items(indices_[position_]);
    if (item.BackupKeys.empty() && option_.SeparateName == 0) {
      // No key, so no name to give its file: handled as an item whose keys
      // are all missing, without creating a file.
      RegWriteItem();
      continue;
    }
    std::string g = ChooseItemFileName(f, before);
    file_.WriteRegFile(g, [this] { file_.SetRegFileWritten(RegWriteItem()); });
  }
}

std::string ExportRun::ChooseItemFileName(const std::string& f,
                                          std::vector<std::string>& before) const {
  std::string base = SeparateFileName(f, context_.items.Items(indices_[position_]), option_);
  std::string candidate;
  for (int n = 0; n <= kMaxFileNumber; ++n) {
    candidate = base;
    if (n > 0) {
      char number[16];
      std::snprintf(number, sizeof number, "%.2d", n);
      candidate.insert(candidate.size() - 4, number);
    }
    if (!platform::FileExists(candidate)) return candidate;
    for (auto it = before.begin(); it != before.end(); ++it) {
      if (SameTextIgnoreCase(*it, candidate)) {
        before.erase(it);  // a file from before the run is overwritten once
        return candidate;
      }
    }
  }
  return candidate;
}

bool ExportRun::RegWriteItem() {
  int index = indices_[position_];
  TBackItem& item = context_.items.Items(index);
  bool written = false;
  for (std::size_t i = 0; i < item.BackupKeys.size(); ++i) {
    if (!writer_.RegWriteKey(item.BackupKeys[i], item.Name, item.Comment, static_cast<int>(i))) {
      written = true;
    }
  }
  // Keys the store could not read are reported, not taken for missing ones.
  if (AddStoreProblems() || written) return written;
  MainWindowPort* window = context_.window;
  const bool windowVisible = window && window->IsVisible();
  // Without the window nobody is asked; still, a backup that keeps none of
  // an item's keys is said, one line for each such item.
  if (!windowVisible) context_.prompts.ShowMessage(MissingItemLine(item), "", PromptIcon::Warning);
  if (item.NoDelete) return written;

  if (AskDeleteMissingItem(item, context_.prompts, windowVisible)) {
    context_.items.Delete(index);
    for (std::size_t j = static_cast<std::size_t>(position_); j < indices_.size(); ++j)
      --indices_[j];
    indices_.erase(indices_.begin() + position_);
    int total = TotalKeyCount();
    writer_.TotalKeyCount = total;
    writer_.ProgressPercent = total == 0 ? 100.0 : 100.0 * position_ / total;
    context_.progress.SetProgress(RoundPercent(writer_.ProgressPercent));
    --position_;
  } else {
    item.NoDelete = true;
  }
  if (window && window->ListView()) context_.items.UpdateListView(*window->ListView());
  context_.state.DataModified = true;
  return written;
}

// Adds what the store found while the item was read (damage, a profile that
// could not be read) to the losses; true when there was something. A value
// the writer already reported as unreadable gets the store's reason instead.
bool ExportRun::AddStoreProblems() {
  std::vector<StoreProblem> problems = context_.store.TakeProblems();
  for (StoreProblem& problem : problems) {
    ExportLoss loss{LossKind::UnreadableKey, std::move(problem.key), std::move(problem.value),
                    std::move(problem.reason)};
    if (!loss.value || !writer_.Losses.Amend(loss)) writer_.Losses.Add(std::move(loss));
  }
  return !problems.empty();
}

}  // namespace

unsigned ProgressLevelFor(int totalKeyCount, int maxLevel, bool progressOff) {
  if (totalKeyCount >= 100 || progressOff || maxLevel < 0) return 0;
  if (totalKeyCount < 50) return static_cast<unsigned>(maxLevel);
  return maxLevel <= 1 ? static_cast<unsigned>(maxLevel) : 1;
}

std::string RegOutputFileName(const std::string& dataFileName, const TOption& option) {
  if (option.RegFileName.empty()) return ChangeFileExt(dataFileName, ".reg");
  return ResolveFileName(option.RegFileName, ".reg", ExtractFilePath(dataFileName));
}

std::string SeparateFileName(const std::string& f, const TBackItem& item, const TOption& option) {
  std::string base;
  if (option.SeparateName != 0) {
    base = item.Name;
  } else if (!item.BackupKeys.empty()) {
    base = KeyPathLastName(item.BackupKeys.front());
  }
  return ExtractFilePath(f) + ValidFileName(base) + ".reg";
}

bool AskDeleteMissingItem(const TBackItem& item, PromptPort& prompts, bool windowVisible) {
  if (!windowVisible) return false;
  std::string list = "\r\n\r\n" + ItemCaption(item.Name, item.Comment) + "\r\n";
  for (std::size_t i = 0; i < item.BackupKeys.size() && i < kListedKeys; ++i) {
    list += " " + item.BackupKeys[i] + "\r\n";
  }
  if (item.BackupKeys.size() > kListedKeys) list += " (以下略)\r\n";
  std::string text =
      "次のアイテム内のキーすべてが、存在しないかアクセスが許可されていません。"
      "アイテム一覧から削除しますか?" +
      list +
      "\r\n"
      "[はい]を押すと、このアイテムは一覧から削除されます。"
      "[いいえ]を押すと、[自動削除]の項目が「しない」になり、"
      "次回書き出し時からはこのメッセージ ボックスは出なくなります。"
      "このキーを削除したい場合は、[削除]ボタンを使用してください。";
  return prompts.AskYesNo(text, "存在しないキー", PromptIcon::Warning) == PromptAnswer::Yes;
}

ExportOutcome RegWriteItems(ExportContext& context, const std::vector<int>& indices,
                            const TOption& option, const BeforeCheckHook& beforeCheck) {
  MainWindowPort* window = context.window;
  if (window) {
    window->SetBusyCursor(true);
    if (context.state.ProgressOff) window->SetActionsEnabled(false);
  }
  struct CleanUp {
    ExportContext& context;
    ~CleanUp() {
      context.progress.CloseProgress();
      if (context.window) {
        context.window->SetActionsEnabled(true);
        context.window->SetBusyCursor(false);
      }
    }
  } cleanUp{context};
  ExportOutcome outcome;
  ExportRun run(context, indices, option, beforeCheck);
  try {
    context.progress.StartProgress("書き出し中...", "REGファイル書き出し", 100);
    run.Run();
  } catch (const EProgressCanceled&) {
    outcome.status = ExportStatus::Cancelled;
  } catch (const std::exception& e) {
    // The files are already closed and finished; what is left is to say so.
    std::string f = RegOutputFileName(context.state.DataFileName, option);
    outcome = {ExportStatus::Failed, e.what(), option.Separate ? ExtractFilePath(f) : f, {}, {}};
  }
  outcome.losses = std::move(run.Losses());
  outcome.checked = run.Checked();
  return outcome;
}

std::string ExportFailureText(const ExportOutcome& outcome) {
  return outcome.message + "\r\n書き出し先: " + outcome.target;
}

}  // namespace tarnwick

#include "console/batch_export.h"

#include "backitem/data_file.h"
#include "common/errors.h"
#include "common/prompts.h"
#include "regwrite/export_run.h"

namespace tarnwick {
namespace {

// A cancel signal that came during start-up: nothing is exported.
bool CancelledBeforeTheRun(ProgressPort& progress) {
  try {
    progress.CheckCancel();
    return false;
  } catch (const EProgressCanceled&) {
    return true;
  }
}

}  // namespace

console::BatchOutcome RunBatchExport(Session& session, PromptPort& prompts,
                                     ProgressPort& progress) {
  using console::BatchOutcome;
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
    return BatchOutcome::DataFileError;
  }

  ExportOutcome exported;
  if (CancelledBeforeTheRun(progress)) {
    exported.status = ExportStatus::Cancelled;
  } else if (session.items.Count() > 0) {
    std::vector<int> indices;
    for (int i = 0; i < session.items.Count(); ++i) indices.push_back(i);
    ExportContext context{session.state, session.items, *session.store, prompts, progress};
    exported = RegWriteItems(context, indices, session.state.Settings);
    if (exported.status == ExportStatus::Failed) {
      ErrorMessage(prompts, ExportFailureText(exported), kProgramName);
    }
  }
  if (!exported.losses.Empty()) {
    std::string text = "バックアップにはすべてが入っていません:";
    for (const std::string& line : ExportLossLines(exported.losses)) text += "\n" + line;
    if (exported.checked.keys > 0) text += "\n" + CheckedCountsText(exported.checked);
    prompts.ShowMessage(text, kProgramName, PromptIcon::Warning);
  }
  DataFileContext data{session.state, session.items, prompts};
  bool saved = SaveDataFile(data);
  switch (exported.status) {
    case ExportStatus::Cancelled:
      prompts.ShowMessage("書き出しを中止しました。", kProgramName, PromptIcon::Information);
      return BatchOutcome::Cancelled;
    case ExportStatus::Failed:
      return BatchOutcome::ExportFailed;
    case ExportStatus::Completed:
      break;
  }
  if (!saved) return BatchOutcome::SaveFailed;
  return exported.losses.Empty() ? BatchOutcome::Succeeded : BatchOutcome::ExportedWithLosses;
}

}  // namespace tarnwick

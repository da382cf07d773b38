#include "common/prompts.h"

#include <cerrno>

#include "common/errors.h"
#include "common/path_utils.h"
#include "platform/files.h"

namespace tarnwick {

void ErrorMessage(PromptPort& prompts, const std::string& text, const std::string& caption) {
  prompts.ShowMessage(text, caption, PromptIcon::Error);
}

PromptAnswer OpenErrorMessage(PromptPort& prompts, const std::string& fileName) {
  return prompts.AskRetryCancel("ファイル '" + fileName + "' が開けません。", "読み込みエラー");
}

PromptAnswer SaveErrorMessage(PromptPort& prompts, const std::string& fileName,
                              const std::string& reason) {
  return prompts.AskRetryCancel(
      "ファイル '" + fileName + "' が保存できません。" + (reason.empty() ? "" : "\r\n" + reason),
      "保存エラー");
}

std::string SaveFailureReason(int error, const std::string& fileName) {
  std::string folder = ExtractFilePath(fileName);
  if ((error == ENOENT || error == ENOTDIR) && !folder.empty() &&
      platform::StatusOf(folder).kind != platform::FileKind::Folder) {
    return "保存先のフォルダーがありません: " + folder;
  }
  return MakeInOutError(error).what();
}

}  // namespace tarnwick

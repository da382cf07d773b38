#include "common/prompts.h"

namespace tarnwick {

void ErrorMessage(PromptPort& prompts, const std::string& text, const std::string& caption) {
  prompts.ShowMessage(text, caption, PromptIcon::Error);
}

PromptAnswer OpenErrorMessage(PromptPort& prompts, const std::string& fileName) {
  return prompts.AskRetryCancel("ファイル '" + fileName + "' が開けません。", "読み込みエラー");
}

PromptAnswer SaveErrorMessage(PromptPort& prompts, const std::string& fileName) {
  return prompts.AskRetryCancel("ファイル '" + fileName + "' が保存できません。", "保存エラー");
}

}  // namespace tarnwick

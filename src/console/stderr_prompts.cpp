#include "console/stderr_prompts.h"

#include "console/terminal_progress.h"

namespace tarnwick::console {

std::string ConsoleMessage(const std::string& text, const std::string& caption) {
  std::string prefix = "tarnwick: ";
  if (!caption.empty() && caption != "Tarnwick") prefix += caption + ": ";
  std::string out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) out += prefix + line + "\n";
    start = end + 1;
  }
  return out;
}

void StderrPrompts::ShowMessage(const std::string& text, const std::string& caption, PromptIcon) {
  Print(text, caption);
}

PromptAnswer StderrPrompts::AskRetryCancel(const std::string& text, const std::string& caption) {
  Print(text + "\n(一括書き出し中は確認できないため、[キャンセル] として扱います)", caption);
  return PromptAnswer::Cancel;
}

PromptAnswer StderrPrompts::AskYesNo(const std::string& text, const std::string& caption,
                                     PromptIcon) {
  Print(text + "\n(一括書き出し中は確認できないため、[いいえ] として扱います)", caption);
  return PromptAnswer::No;
}

void StderrPrompts::Print(const std::string& text, const std::string& caption) {
  if (progress_) progress_->BreakLine();
  std::string message = ConsoleMessage(text, caption);
  std::fwrite(message.data(), 1, message.size(), out_);
  std::fflush(out_);
}

}  // namespace tarnwick::console

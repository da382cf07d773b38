// Batch mode's prompts: every message goes to standard error, each line
// starting "tarnwick: ". Nobody is there to answer a question, so Retry/Cancel
// is answered Cancel and Yes/No is answered No, and the message says so.
#pragma once

#include <cstdio>
#include <string>

#include "common/prompts.h"

namespace tarnwick::console {

class TerminalProgress;

class StderrPrompts : public PromptPort {
 public:
  // The progress line, when there is one, is ended before each message.
  explicit StderrPrompts(std::FILE* out, TerminalProgress* progress = nullptr)
      : out_(out), progress_(progress) {}

  void ShowMessage(const std::string& text, const std::string& caption, PromptIcon icon) override;
  PromptAnswer AskRetryCancel(const std::string& text, const std::string& caption) override;
  PromptAnswer AskYesNo(const std::string& text, const std::string& caption,
                        PromptIcon icon) override;

 private:
  void Print(const std::string& text, const std::string& caption);

  std::FILE* out_;
  TerminalProgress* progress_;
};

// The text as standard error shows it: CR LF line ends become LF, empty lines
// go, every line starts with "tarnwick: " and, when it says more than the
// program's name, the caption.
std::string ConsoleMessage(const std::string& text, const std::string& caption);

}  // namespace tarnwick::console

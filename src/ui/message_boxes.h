// The prompt port as message boxes owned by the active window.
#pragma once

#include "common/ports.h"

namespace tarnwick::ui {

class MessageBoxes : public PromptPort {
 public:
  void ShowMessage(const std::string& text, const std::string& caption, PromptIcon icon) override;
  PromptAnswer AskRetryCancel(const std::string& text, const std::string& caption) override;
  PromptAnswer AskYesNo(const std::string& text, const std::string& caption,
                        PromptIcon icon) override;
};

}  // namespace tarnwick::ui

// Everything the core asks of a person goes through this port: the Qt window
// shows message boxes, batch mode writes to standard error, tests answer from
// a script. Questions that change data default to "No".
#pragma once

#include <string>

namespace tarnwick {

enum class PromptAnswer { Ok, Retry, Cancel, Yes, No };

enum class PromptIcon { Error, Warning, Information, Question };

class PromptPort {
 public:
  virtual ~PromptPort() = default;
  // A modal box with one OK button. An empty caption leaves the platform's default.
  virtual void ShowMessage(const std::string& text, const std::string& caption,
                           PromptIcon icon) = 0;
  // A modal box with Retry and Cancel; returns the button pressed.
  virtual PromptAnswer AskRetryCancel(const std::string& text, const std::string& caption) = 0;
  // A modal question with Yes and No, No being the default button.
  virtual PromptAnswer AskYesNo(const std::string& text, const std::string& caption,
                                PromptIcon icon = PromptIcon::Question) = 0;
};

// An error the user must correct, with the error icon.
void ErrorMessage(PromptPort& prompts, const std::string& text, const std::string& caption = "");
// "The file cannot be opened/saved": Retry or Cancel.
PromptAnswer OpenErrorMessage(PromptPort& prompts, const std::string& fileName);
PromptAnswer SaveErrorMessage(PromptPort& prompts, const std::string& fileName);

}  // namespace tarnwick

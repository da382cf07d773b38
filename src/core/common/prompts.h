// The standard boxes every part of the program shows through the prompt port.
#pragma once

#include <string>

#include "common/ports.h"

namespace tarnwick {

// An error the user must correct, with the error icon.
void ErrorMessage(PromptPort& prompts, const std::string& text, const std::string& caption = "");
// "The file cannot be opened/saved": Retry or Cancel.
PromptAnswer OpenErrorMessage(PromptPort& prompts, const std::string& fileName);
// reason: why, on a line of its own when given.
PromptAnswer SaveErrorMessage(PromptPort& prompts, const std::string& fileName,
                              const std::string& reason = "");
// Why writing fileName failed with the errno error: a missing folder by its
// name, else the text of the failure.
std::string SaveFailureReason(int error, const std::string& fileName);

}  // namespace tarnwick

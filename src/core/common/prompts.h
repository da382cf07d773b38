// The standard boxes every part of the program shows through the prompt port.
#pragma once

#include <string>

#include "common/ports.h"

namespace tarnwick {

// An error the user must correct, with the error icon.
void ErrorMessage(PromptPort& prompts, const std::string& text, const std::string& caption = "");
// "The file cannot be opened/saved": Retry or Cancel.
PromptAnswer OpenErrorMessage(PromptPort& prompts, const std::string& fileName);
PromptAnswer SaveErrorMessage(PromptPort& prompts, const std::string& fileName);

}  // namespace tarnwick

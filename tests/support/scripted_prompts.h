// A prompt port for tests: records every box and answers from a script.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "common/prompts.h"

namespace tarnwick::test {

class ScriptedPrompts : public PromptPort {
 public:
  struct Shown {
    std::string text;
    std::string caption;
  };
  std::vector<Shown> shown;          // every box, in order
  std::deque<PromptAnswer> answers;  // for questions; Cancel / No when empty

  void ShowMessage(const std::string& text, const std::string& caption, PromptIcon) override {
    shown.push_back({text, caption});
  }
  PromptAnswer AskRetryCancel(const std::string& text, const std::string& caption) override {
    shown.push_back({text, caption});
    return Next(PromptAnswer::Cancel);
  }
  PromptAnswer AskYesNo(const std::string& text, const std::string& caption,
                        PromptIcon = PromptIcon::Question) override {
    shown.push_back({text, caption});
    return Next(PromptAnswer::No);
  }

 private:
  PromptAnswer Next(PromptAnswer fallback) {
    if (answers.empty()) return fallback;
    PromptAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace tarnwick::test

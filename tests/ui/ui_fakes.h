// Fakes of the window's own ports for its tests: file dialogs that answer
// from the test, and a help port that records what was asked.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/ports.h"
#include "ui/file_dialogs.h"

namespace tarnwick::ui {

class ScriptedDialogs : public FileDialogs {
 public:
  std::string proposed;               // the last name SaveRegFile proposed
  std::optional<std::string> answer;  // what every dialog returns

  std::optional<std::string> SaveRegFile(const std::string&, const std::string& name) override {
    proposed = name;
    return answer;
  }
  std::optional<std::string> ChooseFolder(const std::string&, const std::string&) override {
    return answer;
  }
  std::optional<std::string> OpenDataFile(const std::string&) override { return answer; }
  std::optional<std::string> BrowseRegFile(const std::string&, const std::string&) override {
    return answer;
  }
  std::optional<std::string> OpenRegFile(const std::string&) override { return answer; }
};

class RecordingHelp : public HelpPort {
 public:
  std::vector<int> asked;
  void ShowHelp(int context) override { asked.push_back(context); }
};

}  // namespace tarnwick::ui

// Fakes of the front-end ports for tests: a progress display that records
// what it shows and cancels at a chosen check, and a main window that records
// what the run asks of it. Prompts: scripted_prompts.h.
#pragma once

#include <string>
#include <vector>

#include "common/errors.h"
#include "common/ports.h"

namespace tarnwick::test {

class FakeProgress : public ProgressPort {
 public:
  std::vector<int> shown;  // every position shown
  int checks = 0;          // cancel checks so far, SetProgress and FinishProgress included
  int cancelAtCheck = -1;  // 1 cancels at the first check
  int pumped = 0;          // ProcessMessages calls
  bool open = false;
  bool finished = false;

  void StartProgress(const std::string&, const std::string&, int) override { open = true; }
  void SetProgress(int position) override {
    CheckCancel();
    shown.push_back(position);
  }
  std::string note;  // what FinishProgress was given
  void FinishProgress(const std::string& finishNote) override {
    CheckCancel();
    finished = true;
    note = finishNote;
  }
  void CloseProgress() override { open = false; }
  void CheckCancel() override {
    if (++checks == cancelAtCheck) throw EProgressCanceled();
  }
  void ProcessMessages() override { ++pumped; }
};

class FakeWindow : public MainWindowPort {
 public:
  bool visible = true;
  std::vector<bool> enabled;  // every SetActionsEnabled call
  BackListView* view = nullptr;

  bool IsVisible() const override { return visible; }
  void SetActionsEnabled(bool on) override { enabled.push_back(on); }
  void SetBusyCursor(bool) override {}
  BackListView* ListView() override { return view; }
};

}  // namespace tarnwick::test

// Batch mode's progress display: one line on standard error, redrawn in place
// when the percentage changes, shown only when the display is on and standard
// error is a terminal. A received cancel signal cancels the run at the next
// check whether or not anything is shown.
#pragma once

#include <string>

#include "common/ports.h"

namespace tarnwick::console {

class TerminalProgress : public ProgressPort {
 public:
  // progressOff is read at each start, after the settings file has set it.
  TerminalProgress(int fd, const bool& progressOff) : fd_(fd), progressOff_(progressOff) {}

  void StartProgress(const std::string& info, const std::string& caption, int max) override;
  void SetProgress(int percent) override;
  void FinishProgress(const std::string& note) override;
  void CloseProgress() override;
  void CheckCancel() override;
  // A terminal has no events to handle; a cancel signal is seen at the next check.
  void ProcessMessages() override {}

  // Ends a line drawn half-way, so that a message starts on a line of its own.
  void BreakLine();

 private:
  void Draw(int percent);
  void Write(const std::string& text);

  int fd_;
  const bool& progressOff_;
  bool shown_ = false;     // a run with a visible line is under way
  bool lineOpen_ = false;  // the cursor stands at the end of the drawn line
  std::string info_, caption_;
  int max_ = 100;
  int last_ = -1;
};

// Terminal columns a UTF-8 text takes: East Asian wide characters count two.
int DisplayWidth(const std::string& utf8);

// The line for percent (0 to max) in a terminal of the given width: caption,
// info, a bar when there is room, and "NN% 完了".
std::string ProgressLine(const std::string& caption, const std::string& info, int percent, int max,
                         int columns);

}  // namespace tarnwick::console

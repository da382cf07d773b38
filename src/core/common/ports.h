// Everything the core asks of a front end: the Qt window implements these,
// the console implements them for batch mode, and tests answer from scripts.
// The core never shows anything itself; every box, progress display and list
// refresh goes through one of these ports.
#pragma once

#include <string>
#include <vector>

namespace tarnwick {

// --- Prompts: modal boxes. Questions that change data default to "No". ---

enum class PromptAnswer { Ok, Retry, Cancel, Yes, No };

enum class PromptIcon { Error, Warning, Information, Question };

class PromptPort {
 public:
  virtual ~PromptPort() = default;
  // A box with one OK button. An empty caption leaves the platform's default.
  virtual void ShowMessage(const std::string& text, const std::string& caption,
                           PromptIcon icon) = 0;
  // A box with Retry and Cancel; returns the button pressed.
  virtual PromptAnswer AskRetryCancel(const std::string& text, const std::string& caption) = 0;
  // A question with Yes and No, No being the default button.
  virtual PromptAnswer AskYesNo(const std::string& text, const std::string& caption,
                                PromptIcon icon = PromptIcon::Question) = 0;
};

// --- Progress of a long run, its cancel button, and the event loop. ---

class ProgressPort {
 public:
  virtual ~ProgressPort() = default;
  // Shows the display (when it is on) at position 0 of max.
  virtual void StartProgress(const std::string& info, const std::string& caption, int max) = 0;
  // Checks for a cancel, then shows the position. Throws EProgressCanceled.
  virtual void SetProgress(int position) = 0;
  // Checks for a cancel, then shows the run as finished, with note after
  // it when there is one, and closes the display. Throws EProgressCanceled.
  virtual void FinishProgress(const std::string& note) = 0;
  // Closes the display whatever happened; called after every run.
  virtual void CloseProgress() = 0;
  // Throws EProgressCanceled when the user has asked to cancel.
  virtual void CheckCancel() = 0;
  // Lets the front end handle pending events, so that it repaints and sees
  // the cancel button while the run goes on.
  virtual void ProcessMessages() = 0;
};

// For runs without a display: shows nothing, never cancels.
class NoProgress : public ProgressPort {
 public:
  void StartProgress(const std::string&, const std::string&, int) override {}
  void SetProgress(int) override {}
  void FinishProgress(const std::string&) override {}
  void CloseProgress() override {}
  void CheckCancel() override {}
  void ProcessMessages() override {}
};

// --- The item list view of the main window. ---

// One row: the caption and the three sub-items.
struct BackListRow {
  std::string Caption;  // Name
  std::string Keys;     // key paths joined with ";"
  std::string Comment;
  std::string NoDelete;  // NoDeleteText
};

// What a rebuild of the list view must show and restore. No row is selected.
struct BackListUpdate {
  std::vector<BackListRow> Rows;
  int FocusRow = -1;    // the row to get the keyboard focus; -1 for none
  bool Scroll = false;  // restore the top row and horizontal offset below
  int TopIndex = 0;
  int HorizontalOffset = 0;
};

class BackListView {
 public:
  virtual ~BackListView() = default;
  virtual int RowCount() const = 0;
  virtual std::string FocusedCaption() const = 0;  // empty when no row has the focus
  virtual int TopIndex() const = 0;
  virtual int HorizontalOffset() const = 0;
  virtual void Rebuild(const BackListUpdate& update) = 0;
};

// --- The main window, as long work started from it sees it. None in batch
// mode, where the window is never shown. ---

class MainWindowPort {
 public:
  virtual ~MainWindowPort() = default;
  virtual bool IsVisible() const = 0;
  // Enables or disables every action of the window.
  virtual void SetActionsEnabled(bool enabled) = 0;
  virtual void SetBusyCursor(bool busy) = 0;
  virtual BackListView* ListView() = 0;
};

// --- Help: the help file at a topic. ---

inline constexpr int kHelpDefaultTopic = 0;

class HelpPort {
 public:
  virtual ~HelpPort() = default;
  // Opens the help file at the topic with this context number, or at its
  // default topic for kHelpDefaultTopic.
  virtual void ShowHelp(int context) = 0;
};

}  // namespace tarnwick

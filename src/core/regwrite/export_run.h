// The export run: writes a list of backup items to one REG file or one file
// per item, asks what to do with items none of whose keys exists, and keeps
// the progress display up to date.
#pragma once

#include <string>
#include <vector>

#include "backitem/option.h"
#include "regwrite/progress.h"

namespace tarnwick {

class BackListView;
class PromptPort;
class TBackItems;
class TRegistry;
struct ProgramState;
struct TBackItem;

// The progress display of a run; the finish-and-close call is SetProgress
// with kProgressFinish.
class ProgressDisplay : public ProgressPort {
 public:
  virtual void StartProgress(const std::string& info, const std::string& caption, int max) = 0;
  virtual void CloseProgress() = 0;
};

inline constexpr int kProgressFinish = -3;

// What the run needs of the main window. None in batch mode, where the window
// is never shown.
class MainWindowPort {
 public:
  virtual ~MainWindowPort() = default;
  virtual bool IsVisible() const = 0;
  // Enables or disables every action (only while the progress display is off).
  virtual void SetActionsEnabled(bool enabled) = 0;
  virtual void SetBusyCursor(bool busy) = 0;
  virtual BackListView* ListView() = 0;
};

struct ExportContext {
  ProgramState& state;
  TBackItems& items;
  TRegistry& registry;
  PromptPort& prompts;
  ProgressDisplay& progress;
  MessagePump& pump;
  MainWindowPort* window = nullptr;
};

// Exports the items at the given (ascending) indices with a copy of option.
// Errors other than cancellation reach the caller after the clean-up;
// cancellation ends the run silently.
void RegWriteItems(ExportContext& context, const std::vector<int>& indices, const TOption& option);

// How deep keys count for progress: fewer levels the more key paths a run has.
unsigned ProgressLevelFor(int totalKeyCount, int maxLevel, bool progressOff);

// The REG file of an item in per-item mode: F's folder, the item's name (or
// its first key's last name when SeparateName is 0) made valid, ".reg".
std::string SeparateFileName(const std::string& f, const TBackItem& item, const TOption& option);

// The output file of a run: RegFileName resolved against the data file's
// folder, or the data file's name with ".reg".
std::string RegOutputFileName(const std::string& dataFileName, const TOption& option);

// The question about an item none of whose keys exists; No when the main
// window is not visible.
bool AskDeleteMissingItem(const TBackItem& item, PromptPort& prompts, bool windowVisible);

}  // namespace tarnwick

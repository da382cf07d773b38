// The export run: writes a list of backup items to one REG file or one file
// per item, asks what to do with items none of whose keys exists, and keeps
// the progress display up to date.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "backitem/option.h"
#include "common/ports.h"
#include "regwrite/export_losses.h"
#include "regwrite/reg_check.h"

namespace tarnwick {

class RegistryStore;
class TBackItems;
struct ProgramState;
struct TBackItem;

// What a run works on and whom it tells.
struct ExportContext {
  ProgramState& state;
  TBackItems& items;
  RegistryStore& store;  // the run reads through accessors of its own
  PromptPort& prompts;
  ProgressPort& progress;
  MainWindowPort* window = nullptr;  // none in batch mode
};

// Called with each written file before it is read back: a seam for tests.
using BeforeCheckHook = std::function<void(const std::string& path)>;

enum class ExportStatus { Completed, Cancelled, Failed };

struct ExportOutcome {
  ExportStatus status = ExportStatus::Completed;
  std::string message;  // when Failed: what went wrong
  std::string target;   // when Failed: the REG file, or the folder of per-item files
  ExportLosses losses;  // what the files written could not keep
  // What the files put in place held, each read back and found as written.
  RegCheckCounts checked;
};

// The export: writes the items at the given (ascending) indices with a copy
// of option, to one REG file or one per item, and settles the items whose
// keys are all missing. Every file is closed and finished before it returns;
// items deleted or marked before a failure stay so. Never throws for what
// the run meets (registry, file, cap, cancel): that is the outcome. Each
// file is read back and checked before it takes the place of the earlier
// one; a file that differs from what was read fails the run.
ExportOutcome RegWriteItems(ExportContext& context, const std::vector<int>& indices,
                            const TOption& option, const BeforeCheckHook& beforeCheck = {});

// A failed run as the error box shows it: the message and where it wrote.
std::string ExportFailureText(const ExportOutcome& outcome);

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

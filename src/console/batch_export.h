// Batch mode's work after start-up: export every item, then save the data
// file, even after a failed or cancelled export, so that item changes made by
// the run (NoDelete) stay. Never writes the settings file.
#pragma once

#include "backitem/startup.h"
#include "console/exit_status.h"

namespace tarnwick {

class ProgressPort;
class PromptPort;

console::BatchOutcome RunBatchExport(Session& session, PromptPort& prompts, ProgressPort& progress);

}  // namespace tarnwick

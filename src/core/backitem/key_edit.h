// What adding a key path to an item, or changing one of its entries, does:
// the checks of the property dialog, without the dialog. The path is tested
// against the registry and against the keys the same item already holds
// (other items may hold the same key, its ancestors or descendants).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

class RegistryStore;
struct TBackItem;

// Removes backslashes from the end (UTF-8 text: a trail byte is never one).
std::string TrimTrailingBackslashes(std::string_view text);

struct KeyEditPlan {
  enum class Result {
    Ready,         // path may be added (or replace the entry)
    Missing,       // the key or value does not exist or cannot be opened
    AncestorHeld,  // the item holds the path or one of its ancestors
    Unstorable,    // the data file cannot hold the path: problem says why
  };
  Result result = Result::Missing;
  std::string problem;
  std::string path;              // normalised: short root name
  std::vector<int> descendants;  // entries below path that adding it removes
};

// Plans adding path (as typed, already trimmed) to item; for a change,
// exceptIndex is the entry being replaced, else -1.
KeyEditPlan PlanKeyEdit(RegistryStore& store, const TBackItem& item, std::string_view typed,
                        int exceptIndex);

// Carries out a Ready plan: removes its descendants, then appends the path,
// or puts it in place of the entry changeIndex (as it was before the
// removal). Returns the index of the path in the list.
int ApplyKeyEdit(TBackItem& item, const KeyEditPlan& plan, int changeIndex);

// The texts the dialog shows for a plan's refusals and question.
extern const char* const kKeyMissingText;
extern const char* const kAncestorHeldText;
extern const char* const kKeyEditCaption;
std::string DescendantQuestion(std::size_t count);

}  // namespace tarnwick

// The backup items: TBackItem (a name, key paths, a comment and the
// auto-delete exemption) and TBackItems, the one list that owns them in the
// order they are shown, exported and stored. Row i of the item list view
// always shows item i.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "common/ports.h"

namespace tarnwick {

struct TBackItem {
  std::string Name;
  std::vector<std::string> BackupKeys;  // key paths, in export order
  std::string Comment;
  bool NoDelete = false;  // never offered for deletion when its keys are missing

  // True when keyPath is in BackupKeys (case ignored) at a position other
  // than exceptIndex; the first match counts.
  bool HasKey(std::string_view keyPath, int exceptIndex) const;
};

// Why a comment, key path or item name cannot be stored in the data file,
// CP932 text whose lines cannot hold a line break or a NUL (item names escape
// those); empty when it can. Checked where items are edited, before anything
// is stored: a character CP932 lacks would come back as '?'.
std::string CommentTextProblem(std::string_view comment);
std::string KeyPathTextProblem(std::string_view keyPath);
std::string ItemNameTextProblem(std::string_view name);

// The texts of the auto-delete column.
const char* NoDeleteText(bool noDelete);

// A set of item names that tells whether a name is taken as
// TBackItems::NameExists does (SameTextIgnoreCase), without comparing the
// name with each of them: loading a data file asks once per item.
class ItemNameSet {
 public:
  void Insert(std::string_view name);
  bool Contains(std::string_view name) const;

 private:
  // Two ASCII names are the same when they differ in letter case alone;
  // every other pair is the collator's to compare, through its keys. The
  // ASCII names' keys are made when a non-ASCII name is first looked up.
  std::unordered_set<std::string> asciiFolded_;       // ASCII names, in lower case
  std::unordered_set<std::string> otherKeys_;         // keys of the other names
  mutable std::unordered_set<std::string> allKeys_;   // keys of every name made so far
  mutable std::vector<std::string> asciiWithoutKey_;  // ASCII names not yet in allKeys_
};

class TBackItems {
 public:
  // 0 unsorted; otherwise 1 name, 2 key list, 3 comment, 4 auto-delete flag,
  // positive ascending, negative descending.
  int SortColumn = 0;

  TBackItem& Add(std::string name, const std::vector<std::string>* keys, std::string comment,
                 bool noDelete);
  void Delete(int index);  // nothing on an empty list
  void Clear();
  TBackItem& Items(int index) { return *items_.at(static_cast<std::size_t>(index)); }
  const TBackItem& Items(int index) const { return *items_.at(static_cast<std::size_t>(index)); }
  int Count() const { return static_cast<int>(items_.size()); }

  // Exchange sort by SortColumn that keeps equal neighbours in place.
  void Sort();
  // True when an item other than the one at exceptIndex has this name, case ignored.
  bool NameExists(std::string_view name, int exceptIndex) const;
  // The rows of the items, and what the view must restore around them.
  BackListUpdate BuildListUpdate(const BackListView& view) const;
  void UpdateListView(BackListView& view) const { view.Rebuild(BuildListUpdate(view)); }

 private:
  int CompareNeighbours(const TBackItem& a, const TBackItem& b) const;

  std::vector<std::unique_ptr<TBackItem>> items_;
};

}  // namespace tarnwick

#include "backitem/back_item.h"

#include <cstdlib>
#include <utility>

#include "common/collation.h"

namespace tarnwick {

bool TBackItem::HasKey(std::string_view keyPath, int exceptIndex) const {
  for (std::size_t i = 0; i < BackupKeys.size(); ++i) {
    if (SameTextIgnoreCase(BackupKeys[i], keyPath)) return static_cast<int>(i) != exceptIndex;
  }
  return false;
}

namespace {

bool HasLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

std::string CommentTextProblem(std::string_view comment) {
  return HasLineBreakOrNul(comment) ? "コメントに改行を含めることはできません。" : "";
}

std::string KeyPathTextProblem(std::string_view keyPath) {
  return HasLineBreakOrNul(keyPath) ? "改行を含む名前のキーや値は登録できません。" : "";
}

const char* NoDeleteText(bool noDelete) {
  return noDelete ? "しない" : "";
}

TBackItem& TBackItems::Add(std::string name, const std::vector<std::string>* keys,
                           std::string comment, bool noDelete) {
  auto item = std::make_unique<TBackItem>();
  item->Name = std::move(name);
  if (keys) item->BackupKeys = *keys;
  item->Comment = std::move(comment);
  item->NoDelete = noDelete;
  items_.push_back(std::move(item));
  return *items_.back();
}

void TBackItems::Delete(int index) {
  if (index >= 0 && index < Count()) items_.erase(items_.begin() + index);
}

void TBackItems::Clear() {
  items_.clear();
}

namespace {

std::string KeyListText(const TBackItem& item) {
  std::string text;
  for (const std::string& key : item.BackupKeys) text += key + "\r\n";
  return text;
}

}  // namespace

// Compares the neighbours a (first) and b (second); the items are exchanged
// when the result is negative.
int TBackItems::CompareNeighbours(const TBackItem& a, const TBackItem& b) const {
  int result = 0;
  switch (std::abs(SortColumn)) {
    case 1:
      result = CompareTextIgnoreCase(b.Name, a.Name);
      break;
    case 2:
      result = CompareTextIgnoreCase(KeyListText(b), KeyListText(a));
      break;
    case 3:
      result = CompareTextIgnoreCase(b.Comment, a.Comment);
      break;
    case 4:
      // Never reports equality, so ascending order moves equal flags too.
      result = b.NoDelete && !a.NoDelete ? 1 : -1;
      break;
    default:
      return 0;
  }
  return SortColumn < 0 ? -result : result;
}

void TBackItems::Sort() {
  if (Count() < 2) return;
  for (int i = 0; i <= Count() - 2; ++i) {
    for (int j = Count() - 2; j >= i; --j) {
      if (CompareNeighbours(*items_[j], *items_[j + 1]) < 0) std::swap(items_[j], items_[j + 1]);
    }
  }
}

bool TBackItems::NameExists(std::string_view name, int exceptIndex) const {
  for (int i = 0; i < Count(); ++i) {
    if (i != exceptIndex && SameTextIgnoreCase(items_[i]->Name, name)) return true;
  }
  return false;
}

BackListUpdate TBackItems::BuildListUpdate(const BackListView& view) const {
  BackListUpdate update;
  std::string focused = view.FocusedCaption();
  if (view.RowCount() > 0) {
    update.TopIndex = view.TopIndex();
    update.HorizontalOffset = view.HorizontalOffset();
  }
  for (int i = 0; i < Count(); ++i) {
    const TBackItem& item = *items_[i];
    BackListRow row{item.Name, "", item.Comment, NoDeleteText(item.NoDelete)};
    for (std::size_t k = 0; k < item.BackupKeys.size(); ++k) {
      if (k > 0) row.Keys += ';';
      row.Keys += item.BackupKeys[k];
    }
    if (item.Name == focused) update.FocusRow = i;  // the last match keeps the focus
    update.Rows.push_back(std::move(row));
  }
  if (Count() > 0) {
    update.Scroll = true;
    if (update.TopIndex > Count() - 1) update.TopIndex = Count() - 1;
  }
  return update;
}

}  // namespace tarnwick

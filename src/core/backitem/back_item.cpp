#include "backitem/back_item.h"

#include <cstdlib>
#include <utility>

#include "common/collation.h"
#include "common/text_codec.h"

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

// The first character of the text that the data file, CP932 text, cannot
// hold as it is; empty when there is none.
std::string FirstCharNotInCp932(std::string_view text) {
  const std::u16string wide = Utf8ToUtf16(text);
  for (std::size_t i = 0; i < wide.size();) {
    std::size_t n = i + 1 < wide.size() && wide[i] >= 0xD800 && wide[i] < 0xDC00 ? 2 : 1;
    std::u16string_view one(wide.data() + i, n);
    if (!FitsCp932(one)) return Utf16ToUtf8(one);
    i += n;
  }
  return "";
}

}  // namespace

std::string CommentTextProblem(std::string_view comment) {
  if (HasLineBreakOrNul(comment)) return "コメントに改行を含めることはできません。";
  std::string c = FirstCharNotInCp932(comment);
  return c.empty() ? "" : "コメントに Shift-JIS にない文字「" + c + "」を含めることはできません。";
}

std::string KeyPathTextProblem(std::string_view keyPath) {
  if (HasLineBreakOrNul(keyPath)) return "改行を含む名前のキーや値は登録できません。";
  std::string c = FirstCharNotInCp932(keyPath);
  return c.empty() ? "" : "Shift-JIS にない文字「" + c + "」を含む名前のキーや値は登録できません。";
}

std::string ItemNameTextProblem(std::string_view name) {
  std::string c = FirstCharNotInCp932(name);
  return c.empty() ? "" : "名前に Shift-JIS にない文字「" + c + "」を含めることはできません。";
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

namespace {

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

std::string AsciiLowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return lower;
}

}  // namespace

void ItemNameSet::Insert(std::string_view name) {
  if (IsAscii(name)) {
    asciiFolded_.insert(AsciiLowerCase(name));
    asciiWithoutKey_.emplace_back(name);
    return;
  }
  std::string key = CollationKeyIgnoreCase(name);
  otherKeys_.insert(key);
  allKeys_.insert(std::move(key));
}

bool ItemNameSet::Contains(std::string_view name) const {
  if (IsAscii(name)) {
    return asciiFolded_.count(AsciiLowerCase(name)) != 0 ||
           (!otherKeys_.empty() && otherKeys_.count(CollationKeyIgnoreCase(name)) != 0);
  }
  for (const std::string& ascii : asciiWithoutKey_) allKeys_.insert(CollationKeyIgnoreCase(ascii));
  asciiWithoutKey_.clear();
  return allKeys_.count(CollationKeyIgnoreCase(name)) != 0;
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

#include "registry/wine/wine_key.h"

#include <algorithm>
#include <unordered_map>

#include "common/text_codec.h"
#include "registry/name_fold.h"

namespace tarnwick {
namespace {

// FoldLower with the ASCII case inline: nearly every name is ASCII.
inline char16_t Fold(char16_t unit) {
  if (unit < 0x80) return unit >= 'A' && unit <= 'Z' ? unit + 32 : unit;
  return FoldLower(unit);
}

// CompareFoldedLower, inlined for the value arrays.
int CompareNames(std::u16string_view a, std::u16string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    char16_t x = Fold(a[i]), y = Fold(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

}  // namespace

void FoldNameInto(std::u16string_view name, std::u16string& folded) {
  folded.resize(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) folded[i] = Fold(name[i]);
}

std::u16string FoldName(std::u16string_view name) {
  std::u16string folded;
  FoldNameInto(name, folded);
  return folded;
}

struct WineKey::Index {
  std::unordered_map<std::u16string_view, WineKey*> byFolded;  // views of the keys' own names
};

WineKey::WineKey() = default;
WineKey::WineKey(std::string name, std::u16string folded)
    : name_(std::move(name)), folded_(std::move(folded)) {}
WineKey::~WineKey() = default;

void WineKey::SetRootName(std::u16string_view name) {
  name_ = Utf16ToUtf8(name);
  folded_ = FoldName(name);
}

// Index of the first subkey not sorting before folded.
std::size_t WineKey::SubKeyIndex(std::u16string_view folded) const {
  auto at = std::lower_bound(
      subkeys_.begin(), subkeys_.end(), folded,
      [](const std::unique_ptr<WineKey>& key, std::u16string_view f) { return key->folded_ < f; });
  return static_cast<std::size_t>(at - subkeys_.begin());
}

const WineKey* WineKey::FindSubKey(std::u16string_view folded) const {
  std::size_t i = SubKeyIndex(folded);
  return i < subkeys_.size() && subkeys_[i]->folded_ == folded ? subkeys_[i].get() : nullptr;
}

WineKey& WineKey::SubKey(std::u16string_view name, std::u16string_view folded) {
  if (index_) {
    auto found = index_->byFolded.find(folded);
    if (found != index_->byFolded.end()) return *found->second;
  } else if (!subkeys_.empty()) {
    int last = std::u16string_view(subkeys_.back()->folded_).compare(folded);
    if (last == 0) return *subkeys_.back();
    if (last > 0) {
      std::size_t i = SubKeyIndex(folded);
      if (subkeys_[i]->folded_ == folded) return *subkeys_[i];
      // Out of order: from now on, until FinishBuild(), find subkeys by hash.
      index_ = std::make_unique<Index>();
      for (const auto& subkey : subkeys_) index_->byFolded.emplace(subkey->folded_, subkey.get());
    }
  }
  auto& key =
      subkeys_.emplace_back(std::make_unique<WineKey>(Utf16ToUtf8(name), std::u16string(folded)));
  if (index_) index_->byFolded.emplace(key->folded_, key.get());
  return *key;
}

WineValue& WineKey::Value(std::u16string_view name) {
  if (!values_.empty()) {
    int last = CompareNames(values_.back().name, name);
    if (last == 0) return values_.back();
    if (last > 0) valuesUnsorted_ = true;
  }
  return values_.emplace_back(WineValue{std::u16string(name), kRegNone, {}});
}

void WineKey::FinishBuild() {
  std::vector<WineKey*> pending{this};
  while (!pending.empty()) {
    WineKey* key = pending.back();
    pending.pop_back();
    key->FinishKey();
    for (const auto& subkey : key->subkeys_) pending.push_back(subkey.get());
  }
}

void WineKey::FinishKey() {
  if (index_) {
    std::sort(subkeys_.begin(), subkeys_.end(),
              [](const auto& a, const auto& b) { return a->folded_ < b->folded_; });
    index_.reset();
  }
  if (!valuesUnsorted_) return;
  std::stable_sort(values_.begin(), values_.end(), [](const WineValue& a, const WineValue& b) {
    return CompareNames(a.name, b.name) < 0;
  });
  std::size_t kept = 0;
  for (std::size_t i = 0; i < values_.size(); ++i) {
    if (kept > 0 && CompareNames(values_[kept - 1].name, values_[i].name) == 0) {
      values_[kept - 1].type = values_[i].type;
      values_[kept - 1].data = std::move(values_[i].data);
    } else if (kept++ != i) {
      values_[kept - 1] = std::move(values_[i]);
    }
  }
  values_.resize(kept);
  valuesUnsorted_ = false;
}

bool WineKey::AdoptSubKey(std::unique_ptr<WineKey> key) {
  std::size_t i = SubKeyIndex(key->folded_);
  if (i < subkeys_.size() && subkeys_[i]->folded_ == key->folded_) return false;
  subkeys_.insert(subkeys_.begin() + static_cast<std::ptrdiff_t>(i), std::move(key));
  return true;
}

const WineValue* WineKey::FindValue(std::u16string_view name) const {
  auto at = std::lower_bound(
      values_.begin(), values_.end(), name,
      [](const WineValue& v, std::u16string_view n) { return CompareNames(v.name, n) < 0; });
  return at != values_.end() && CompareNames(at->name, name) == 0 ? &*at : nullptr;
}

}  // namespace tarnwick

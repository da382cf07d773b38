// The in-memory tree of a Wine registry file: keys with their subkeys and
// values, each kept sorted as wineserver keeps them (names compared unit by
// unit after the lower-case fold, the shorter first on a tie), so that
// enumeration gives wineserver's order and lookups are binary searches.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "registry/registry_store.h"

namespace tarnwick {

struct WineValue {
  std::u16string name;  // as in the file; empty for the default value
  uint32_t type = kRegNone;
  std::string data;  // raw bytes; string types are UTF-16LE with their NUL
};

class WineKey {
 public:
  WineKey();
  WineKey(std::string name, std::u16string folded);
  ~WineKey();
  WineKey(const WineKey&) = delete;
  WineKey& operator=(const WineKey&) = delete;

  // The name as first spelled, in UTF-8 (a lone surrogate becomes U+FFFD).
  const std::string& Name() const { return name_; }
  // The name through FoldLower: what keys are sorted and matched by.
  const std::u16string& Folded() const { return folded_; }
  // Names a branch root when it is mounted; a key with a parent keeps its name.
  void SetRootName(std::u16string_view name);

  // Set by a "#link" line: opening the key opens the target named by its
  // SymbolicLinkValue value.
  bool IsLink() const { return link_; }
  void SetLink() { link_ = true; }

  const std::vector<std::unique_ptr<WineKey>>& SubKeys() const { return subkeys_; }
  const std::vector<WineValue>& Values() const { return values_; }

  const WineKey* FindSubKey(std::u16string_view folded) const;
  const WineValue* FindValue(std::u16string_view name) const;

  // Building a tree. Subkeys and values may come in any order: appending is
  // O(1) when a name sorts last, as it does in files wineserver wrote, and
  // other orders are put right once by FinishBuild(), so that no order of
  // lines costs quadratic time.

  // The subkey with this folded name, created with the given spelling when
  // missing.
  WineKey& SubKey(std::u16string_view name, std::u16string_view folded);
  // An entry to set for the value of this name (any case): the last entry
  // when it has the name, else a new one. FinishBuild() merges the entries of
  // one name into the first, keeping its spelling and the last entry's data.
  WineValue& Value(std::u16string_view name);
  // Sorts what came out of order in this key and every key below it, and
  // merges the values set more than once.
  void FinishBuild();
  // Adds a subkey built elsewhere, to a finished tree; false (and nothing
  // changes) when one with the same folded name exists.
  bool AdoptSubKey(std::unique_ptr<WineKey> key);

 private:
  struct Index;  // the subkeys by folded name, while they are out of order

  std::size_t SubKeyIndex(std::u16string_view folded) const;
  void FinishKey();

  std::string name_;
  std::u16string folded_;
  bool link_ = false;
  bool valuesUnsorted_ = false;
  std::vector<std::unique_ptr<WineKey>> subkeys_;
  std::vector<WineValue> values_;
  std::unique_ptr<Index> index_;
};

// The lower-case fold of a name, unit by unit.
void FoldNameInto(std::u16string_view name, std::u16string& folded);
std::u16string FoldName(std::u16string_view name);

}  // namespace tarnwick

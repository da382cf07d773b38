// What importing a REG file would change in a registry now: the keys and
// values it would add, change and delete. Only reads the registry.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "registry/registry_store.h"
#include "regread/reg_reader.h"

namespace tarnwick {

struct RegChange {
  enum class Kind { KeyAdded, KeyDeleted, ValueAdded, ValueChanged, ValueDeleted };
  Kind kind = Kind::KeyAdded;
  std::string key;                 // long root name, as the registry or the file names it
  std::string valueName;           // value changes; "" is the default value
  std::optional<RegValue> before;  // in the registry now
  std::optional<RegValue> after;   // after the import
};

struct RegChangeCounts {
  std::size_t keysAdded = 0, keysDeleted = 0;
  std::size_t valuesAdded = 0, valuesChanged = 0, valuesDeleted = 0;
  std::size_t Total() const {
    return keysAdded + keysDeleted + valuesAdded + valuesChanged + valuesDeleted;
  }
};

struct RegComparison {
  // Keys in path order, each followed by its value changes. The values of a
  // deleted key are listed as deleted, those of an added key as added.
  std::vector<RegChange> changes;
  RegChangeCounts counts;
  // Keys that exist but could not be read: what the import does to them is
  // not known.
  std::vector<std::string> unreadableKeys;
  // Lines the import passes over, which the comparison cannot vouch for.
  std::vector<RegReadProblem> problems;
};

RegComparison CompareRegImport(const RegImport& import, RegistryStore& store);
// Reads the REG file at path and compares it as it reads, without keeping
// its import: what a large backup needs. Throws as ReadRegFile does.
RegComparison CompareRegFile(const std::string& path, RegistryStore& store);

// "インポートで変わるもの: キーの追加 1、…", or that nothing would change.
std::string RegChangeCountsText(const RegChangeCounts& counts);

// A value as a REG file shows it ("text", dword:0000000a, hex(2):25,00,...),
// cut to about maxChars with the full size given when longer.
std::string RegValueText(const RegValue& value, std::size_t maxChars = 72);

}  // namespace tarnwick

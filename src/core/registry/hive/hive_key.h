// An open key of an offline Windows registry. Most keys are one key of one
// hive. A key of HKCR is the user's key over the machine's, as Windows
// merges HKCU\Software\Classes with HKLM\SOFTWARE\Classes (see HiveStore).
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "registry/hive/hive_namespace.h"
#include "registry/registry_store.h"

namespace tarnwick {

// Where a key was reached: its name as a REG file names it, which damage is
// reported under, and the keys passed on the way to it, itself last.
struct HiveKeyPlace {
  std::string name;
  std::vector<HiveRef> chain;
};

// A key lists every subkey of its file's list except one that is a key on the
// way to it (damage that would make the tree a loop), which is reported, as
// are the list's other problems, undecodable names and data cut short.
class HiveRegistryKey final : public RegistryKey {
 public:
  // Opens the key at path (spelled, and folded) below top, and below under,
  // when given, for a merged key: the result is merged where both sides have
  // the key. place is where top was reached. Null when neither has it.
  static std::unique_ptr<HiveRegistryKey> Open(std::shared_ptr<const HiveNamespace> registry,
                                               HiveRef top, std::optional<HiveRef> under,
                                               std::span<const std::u16string> folded,
                                               std::span<const std::string> spelled,
                                               const HiveKeyPlace& place);

  HiveRegistryKey(std::shared_ptr<const HiveNamespace> registry, HiveRef top,
                  std::optional<HiveRef> under, HiveKeyPlace place);

  bool SubKeyNames(std::vector<std::string>& names) const override;
  bool ValueNames(std::vector<std::string>& names) const override;
  bool HasSubKeys() const override;
  std::unique_ptr<RegistryKey> OpenSubKey(std::string_view path, uint32_t access) const override;
  bool QueryValueInfo(std::string_view name, TextForm form, uint32_t& type,
                      uint32_t& size) const override;
  bool QueryValue(std::string_view name, TextForm form, uint32_t maxSize,
                  RegValue& value) const override;

 private:
  const HiveChildren& Children() const;
  const std::vector<HiveEntry>* ValueList() const;
  const HiveEntry* FindValue(std::string_view name) const;
  // The value's data in the form asked for; null when it cannot be read.
  const RegValue* Data(std::string_view name, TextForm form) const;

  void Report(const std::optional<std::string>& child, std::optional<std::string> value,
              std::string reason) const;

  std::shared_ptr<const HiveNamespace> registry_;  // keeps the files open
  HiveKeyPlace place_;
  HiveRef top_;                   // the key itself; its values are the key's values
  std::optional<HiveRef> under_;  // the machine's key below a user's key of HKCR

  mutable std::shared_ptr<const HiveChildren> children_;
  mutable std::optional<std::vector<HiveEntry>> values_;  // empty when not listed yet
  mutable bool valuesOk_ = true;
  // An export asks several questions of each value in turn, in list order:
  // the last value found and its data are kept, and the next one is tried first.
  mutable std::size_t lastIndex_ = static_cast<std::size_t>(-1);
  mutable std::optional<RegValue> wide_, narrow_;
};

}  // namespace tarnwick

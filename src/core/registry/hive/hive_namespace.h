// The registry tree that the hive files of one Windows installation make
// when Windows mounts them: the two mount lists (HKLM's and HKU's children)
// and the links that Windows creates at boot or logon and that the files do
// not hold (SYSTEM\CurrentControlSet, Hardware Profiles\Current, a user's
// Software\Classes). Names are matched as Windows matches them, through the
// upper-case fold of each UTF-16 unit; subkeys come in the files' order.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "registry/hive/hive_file.h"

namespace tarnwick {

// A key: a node of one of the files, or one of the two mount lists.
struct HiveRef {
  static constexpr uint32_t kMountList = 0xFFFFFFFF;
  uint32_t file = kMountList;
  HiveNode node = 0;

  bool operator==(const HiveRef&) const = default;
  auto operator<=>(const HiveRef&) const = default;
};

struct HiveChild {
  std::string name;       // UTF-8, as spelled
  std::u16string folded;  // what names match by: FoldUpperName of the name
  HiveRef ref;
};

// The subkeys of a key, in enumeration order.
class HiveChildren {
 public:
  bool ok = true;  // false when the file's list could not be read
  std::vector<HiveChild> list;

  // Call once the list is complete.
  void BuildIndex();
  const HiveChild* Find(std::u16string_view folded) const;

 private:
  std::vector<uint32_t> byFolded_;  // indices of list, sorted by folded name
};

std::u16string FoldUpperName(std::u16string_view name);
// Splits a path below a key on backslashes into folded names; false when a
// name in it is empty (a leading and a trailing backslash are allowed).
bool FoldHivePath(std::string_view path, std::vector<std::u16string>& folded);

class HiveNamespace {
 public:
  static constexpr HiveRef kMachine{HiveRef::kMountList, 0};  // HKLM
  static constexpr HiveRef kUsers{HiveRef::kMountList, 1};    // HKU

  HiveNamespace();
  ~HiveNamespace();

  // Building.
  uint32_t AddFile(std::unique_ptr<HiveFile> file);
  HiveRef RootOf(uint32_t file) const { return {file, files_[file]->Root()}; }
  // Puts a file's root into a mount list (kMachine or kUsers), which stays
  // in Windows' sorted order.
  void Mount(HiveRef list, std::u16string_view name, uint32_t file);
  // A link below parent: a subkey of that name opens target. The link takes
  // the place of a stored subkey of the same name; else it is listed after
  // the stored ones, as Windows lists volatile keys.
  void Link(HiveRef parent, std::u16string_view name, HiveRef target);

  // Reading.
  std::shared_ptr<const HiveChildren> SubKeys(HiveRef key) const;
  // Follows folded names from a key; false when one is missing.
  bool Walk(HiveRef from, std::span<const std::u16string> folded, HiveRef& to) const;
  bool Values(HiveRef key, std::vector<HiveEntry>& entries) const;
  bool ReadValue(HiveRef key, HiveValue value, RegValue& result) const;
  // The value of a key named name in any case; false when missing or unreadable.
  bool QueryValue(HiveRef key, std::u16string_view name, RegValue& result) const;

  const std::vector<std::unique_ptr<HiveFile>>& Files() const { return files_; }

 private:
  // Listings are kept for the keys read last, up to this many.
  static constexpr std::size_t kMaxCachedListings = 4096;

  std::vector<std::unique_ptr<HiveFile>> files_;
  std::map<HiveRef, std::shared_ptr<HiveChildren>> mountLists_;
  std::map<HiveRef, std::vector<HiveChild>> links_;
  mutable std::map<HiveRef, std::shared_ptr<const HiveChildren>> cache_;
};

}  // namespace tarnwick

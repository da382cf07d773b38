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
#include <optional>
#include <set>
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

// Damage found in a list of subkeys: about one subkey, or about the list.
struct HiveListProblem {
  std::optional<std::string> child;  // the subkey's name; none for the list
  std::string reason;
};

// The subkeys of a key, in enumeration order.
class HiveChildren {
 public:
  bool ok = true;  // false when the file's list could not be read
  std::vector<HiveChild> list;
  std::vector<HiveListProblem> problems;

  // Call once the list is complete. Of two subkeys of one name (damage), the
  // second is taken out of the list, as no name would open it; two whose
  // names differ only in case both stay. Both are said in problems.
  void BuildIndex();
  // The subkey of that folded name; of two that differ only in case, the one
  // spelled as spelled, when given.
  const HiveChild* Find(std::u16string_view folded, std::string_view spelled = {}) const;

 private:
  std::vector<uint32_t> byFolded_;  // indices of list, sorted by folded name
};

std::u16string FoldUpperName(std::u16string_view name);
// Splits a path below a key on backslashes into folded names, and into the
// names as spelled when asked; false when a name in it is empty (a leading
// and a trailing backslash are allowed).
bool FoldHivePath(std::string_view path, std::vector<std::u16string>& folded,
                  std::vector<std::string>* spelled = nullptr);

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
  // Follows folded names from a key; false when one is missing. With the
  // names as spelled, a subkey spelled so is preferred to one that differs
  // only in case. visited, when given, gets each key passed, to itself.
  bool Walk(HiveRef from, std::span<const std::u16string> folded, HiveRef& to,
            std::span<const std::string> spelled = {},
            std::vector<HiveRef>* visited = nullptr) const;
  // As HiveFile's; a mount list has no values.
  bool Values(HiveRef key, std::vector<HiveEntry>& entries, std::string* problem = nullptr) const;
  bool ReadValue(HiveRef key, HiveValue value, RegValue& result,
                 std::string* problem = nullptr) const;
  // The value of a key named name in any case; false when missing or unreadable.
  bool QueryValue(HiveRef key, std::u16string_view name, RegValue& result) const;

  const std::vector<std::unique_ptr<HiveFile>>& Files() const { return files_; }

  // Damage found while reading, each problem once until taken.
  void Report(StoreProblem problem) const;
  std::vector<StoreProblem> TakeProblems() const;

 private:
  // Listings are kept for the keys read last, up to this many.
  static constexpr std::size_t kMaxCachedListings = 4096;

  std::vector<std::unique_ptr<HiveFile>> files_;
  std::map<HiveRef, std::shared_ptr<HiveChildren>> mountLists_;
  std::map<HiveRef, std::vector<HiveChild>> links_;
  mutable std::map<HiveRef, std::shared_ptr<const HiveChildren>> cache_;
  mutable std::vector<StoreProblem> problems_;
  mutable std::set<std::string> problemsSeen_;
};

}  // namespace tarnwick

// One regf hive file, opened read-only through libhivex. Lists a key's
// subkeys and values in the file's own order (Windows' enumeration order)
// and reads value data as stored. Names come as UTF-8; a name that cannot be
// decoded (a lone surrogate in its UTF-16 form, a length past its record) is
// left out and said. A subkey is listed whatever parent its record names: it
// is in its parent's list, as Windows finds it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/files.h"
#include "registry/registry_store.h"

struct hive_h;

namespace tarnwick {

using HiveNode = std::size_t;   // hivex's node handle; 0 is none
using HiveValue = std::size_t;  // hivex's value handle

struct HiveEntry {
  std::string name;  // UTF-8
  std::size_t handle = 0;
};

// The words every report of damage inside a hive starts with.
inline constexpr const char* kHiveDamaged = "ハイブが壊れています: ";

// What tells that a file on disk was replaced or rewritten: its identity,
// size and time of the last write.
using HiveFileStamp = platform::FileStatus;
// The stamp of the file now; a file that cannot be looked at is Missing.
HiveFileStamp StampOf(const std::string& path);

class HiveFile {
 public:
  // Throws ERegistrySourceError, naming the file, when it is not a regular
  // file, cannot be read, or is not a valid hive (damaged, cut short).
  explicit HiveFile(std::string path);
  ~HiveFile();
  HiveFile(const HiveFile&) = delete;
  HiveFile& operator=(const HiveFile&) = delete;

  const std::string& Path() const { return path_; }
  const HiveFileStamp& Stamp() const { return stamp_; }
  HiveNode Root() const { return root_; }

  // Subkeys (handle: HiveNode) and values (handle: HiveValue), appended in
  // the file's order. False when the lists cannot be read. What is left out
  // as damaged is said in problem, when given.
  bool SubKeys(HiveNode node, std::vector<HiveEntry>& entries,
               std::string* problem = nullptr) const;
  bool Values(HiveNode node, std::vector<HiveEntry>& entries, std::string* problem = nullptr) const;
  // Type and raw data, big-data records joined. False when the data cannot
  // be read (it lies outside the file, or is larger than hivex reads), or
  // when there is less of it than its record says (then problem says so).
  bool ReadValue(HiveValue value, RegValue& result, std::string* problem = nullptr) const;

  // Why the file may lack its last changes: its header says a write was cut
  // off, or log files beside it hold changes never written into it.
  const std::vector<std::string>& Notes() const { return notes_; }

 private:
  std::string path_;
  HiveFileStamp stamp_;
  hive_h* hive_ = nullptr;
  HiveNode root_ = 0;
  std::vector<std::string> notes_;
};

}  // namespace tarnwick

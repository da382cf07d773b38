// One regf hive file, opened read-only through libhivex. Lists a key's
// subkeys and values in the file's own order (Windows' enumeration order)
// and reads value data as stored. Names come as UTF-8; a name whose UTF-16
// form is invalid (a lone surrogate) cannot be decoded and is left out, as is
// a subkey whose record names another parent (so the keys always form a tree).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "registry/registry_store.h"

struct hive_h;

namespace tarnwick {

using HiveNode = std::size_t;   // hivex's node handle; 0 is none
using HiveValue = std::size_t;  // hivex's value handle

struct HiveEntry {
  std::string name;  // UTF-8
  std::size_t handle = 0;
};

// What tells that a file on disk was replaced or rewritten.
struct HiveFileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  long mtimeSec = 0;
  long mtimeNsec = 0;

  bool operator==(const HiveFileStamp&) const = default;
};
// The stamp of the file now; a file that cannot be looked at has a stamp of zeros.
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
  // the file's order. False when the lists cannot be read.
  bool SubKeys(HiveNode node, std::vector<HiveEntry>& entries) const;
  bool Values(HiveNode node, std::vector<HiveEntry>& entries) const;
  // Type and raw data, big-data records joined. False when the data cannot
  // be read (it lies outside the file, or is larger than hivex reads).
  bool ReadValue(HiveValue value, RegValue& result) const;

 private:
  std::string path_;
  HiveFileStamp stamp_;
  hive_h* hive_ = nullptr;
  HiveNode root_ = 0;
};

}  // namespace tarnwick

// Hive files for tests, built from the empty hive in tests/data/hives with
// hivex's write API, and Windows installation folders made of them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "registry/registry_store.h"

struct hive_h;

namespace tarnwick::test {

struct HiveValueData {
  std::string name;  // UTF-8; empty for the default value
  uint32_t type = kRegNone;
  std::string data;  // raw bytes
};

// UTF-16LE with a NUL, as REG_SZ data is stored.
std::string Sz(std::u16string_view text);
std::string Dword(uint32_t value);

std::string EmptyHivePath();

class HiveBuilder {
 public:
  explicit HiveBuilder(const std::string& emptyHive = EmptyHivePath());
  ~HiveBuilder();
  HiveBuilder(const HiveBuilder&) = delete;
  HiveBuilder& operator=(const HiveBuilder&) = delete;

  // Adds the key at a path below the root (names separated by backslashes,
  // UTF-8) with its missing parents. hivex files each new subkey in its
  // sorted place, comparing upper-cased ASCII.
  HiveBuilder& Key(std::string_view path);
  // Sets the key's values, in this order; adds the key when missing.
  HiveBuilder& Values(std::string_view path, const std::vector<HiveValueData>& values);
  // Copies a key's values and its subkeys, recursively, from a store into
  // the key at path: subkeys in the store's order, values with their raw data.
  HiveBuilder& Copy(const RegistryKey& from, std::string_view path);
  // Writes the hive to file; the builder can go on.
  void Commit(const std::string& file);

 private:
  std::size_t Node(std::string_view path);
  void SetValues(std::size_t node, const std::vector<HiveValueData>& values);
  void CopyInto(const RegistryKey& from, std::size_t node);

  hive_h* hive_ = nullptr;
};

// Rewrites the data of a value of the committed hive file as a big-data
// record, split into segments of 16,344 bytes, as Windows stores data over
// 16 KiB. hivex writes such data as one cell.
void StoreAsBigData(const std::string& file, std::string_view keyPath, std::string_view valueName);

// Where the record (nk) of a key, or the record (vk) of one of its values,
// starts in a committed hive file, for tests that damage it; names are
// matched in ASCII case only.
std::size_t KeyRecord(const std::string& file, std::string_view keyPath);
std::size_t ValueRecord(const std::string& file, std::string_view keyPath,
                        std::string_view valueName);
// Offsets in records are counted from the end of the hive's header.
inline constexpr std::size_t kHiveBins = 0x1000;
// Writes bytes over the file's bytes at offset.
void PatchFile(const std::string& file, std::size_t offset, std::string_view bytes);
// Makes the header say that the hive's last write was cut off (its sequence
// numbers differ), with a checksum that still holds.
void CutOffLastWrite(const std::string& file);

// A Windows installation folder: hives at their places below the root,
// written all at once by Write().
class TestInstallation {
 public:
  explicit TestInstallation(std::string root) : root_(std::move(root)) {}

  // The hive at a path relative to the root, such as
  // "Windows/System32/config/SOFTWARE"; made empty on first use.
  HiveBuilder& Hive(const std::string& relativePath);
  HiveBuilder& Software() { return Hive("Windows/System32/config/SOFTWARE"); }
  HiveBuilder& System() { return Hive("Windows/System32/config/SYSTEM"); }
  // A profile listed in SOFTWARE's ProfileList as imagePath (by default
  // %SystemDrive%\<folder>), with an NTUSER.DAT holding Software. folder is
  // relative to the root; a bare name is a folder in Users.
  HiveBuilder& User(const std::string& sid, const std::string& folder,
                    const std::string& imagePath = "");
  HiveBuilder& UserClasses(const std::string& folder);

  void Write();
  const std::string& Root() const { return root_; }

 private:
  std::string root_;
  std::map<std::string, std::unique_ptr<HiveBuilder>> hives_;
};

}  // namespace tarnwick::test

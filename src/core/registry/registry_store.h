// The registry as the program reads it: a store of keys under the five
// predefined roots, opened by path and queried like the Windows registry API.
// Each backend lives in a folder of its own below this one (wine/ for the
// files of a Wine prefix); tests build registries in memory. Names and paths are UTF-8; string data
// is UTF-16LE in the wide form and CP932 in the narrow form, as the W and A APIs give them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// Registry data types.
inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegLink = 6;
inline constexpr uint32_t kRegMultiSz = 7;
inline constexpr uint32_t kRegQword = 11;

// Access rights of an open.
inline constexpr uint32_t kKeyQueryValue = 0x0001;
inline constexpr uint32_t kKeyEnumerateSubKeys = 0x0008;
inline constexpr uint32_t kKeyNotify = 0x0010;
inline constexpr uint32_t kStandardRightsRead = 0x20000;
inline constexpr uint32_t kKeyRead = 0x20019;
inline constexpr uint32_t kKeyExistsAccess = 0x20009;  // what an existence test asks for

// Which form of string data a value query gives.
enum class TextForm {
  Wide,    // as stored: UTF-16LE
  Narrow,  // types 1, 2 and 7 converted to CP932, every zero unit included
};

struct RegValue {
  uint32_t type = kRegNone;
  std::string data;  // raw bytes
};

// An open key. Queries and writes never throw; a false result is a failure.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;

  // Fills names with the direct subkeys in the registry's enumeration order.
  // False when the enumeration fails; names then holds what was listed before.
  virtual bool SubKeyNames(std::vector<std::string>& names) const = 0;
  // The same for value names; the default value is the empty name.
  virtual bool ValueNames(std::vector<std::string>& names) const = 0;
  virtual bool HasSubKeys() const = 0;

  // Opens a subkey by its path below this key (names separated by
  // backslashes), as RegOpenKeyExW does on this handle; null when that fails.
  virtual std::unique_ptr<RegistryKey> OpenSubKey(std::string_view path, uint32_t access) const = 0;
  // True when the subkey can be opened for an existence test (kKeyExistsAccess).
  virtual bool SubKeyExists(std::string_view path) const {
    return OpenSubKey(path, kKeyExistsAccess) != nullptr;
  }

  // Type and data size of a value, in bytes of the given form.
  virtual bool QueryValueInfo(std::string_view name, TextForm form, uint32_t& type,
                              uint32_t& size) const = 0;
  // Type and data of a value. At most maxSize bytes are wanted: when the data
  // is larger the query fails, as a too-small buffer does.
  virtual bool QueryValue(std::string_view name, TextForm form, uint32_t maxSize,
                          RegValue& value) const = 0;

  // Creates or replaces a value with raw data, as RegSetValueExW: string data
  // are UTF-16LE with their NUL. Fails on a key opened for reading only.
  virtual bool SetValue(std::string_view /*name*/, uint32_t /*type*/, std::string_view /*data*/) {
    return false;
  }
};

// Damage a store found while reading: the key concerned, as a REG file names
// it, the value when it concerns one, and what is wrong.
struct StoreProblem {
  std::string key;
  std::optional<std::string> value;
  std::string reason;

  bool operator==(const StoreProblem&) const = default;
};

class RegistryStore {
 public:
  virtual ~RegistryStore() = default;

  // Opens root\path with the given access rights; null when that fails. An
  // empty path opens the root itself. A root of 0 or one the store does not
  // know fails.
  virtual std::unique_ptr<RegistryKey> OpenKey(uint32_t root, std::string_view path,
                                               uint32_t access) = 0;

  // Opens root\path for reading and writing, as RegCreateKeyExW (create) or
  // RegOpenKeyExW with write access: with create, the key and its missing
  // parents are made. Null when that fails; a store that cannot be written
  // always fails.
  virtual std::unique_ptr<RegistryKey> OpenKeyForWrite(uint32_t /*root*/, std::string_view /*path*/,
                                                       bool /*create*/) {
    return nullptr;
  }

  // True when the key can be opened for an existence test (kKeyExistsAccess).
  virtual bool KeyExists(uint32_t root, std::string_view path);

  // Picks up changes made to the registry behind the store's back (a file
  // rewritten on disk). Called before each export run; a long reload calls
  // processMessages now and then, so that the front end stays responsive.
  virtual void Refresh(const std::function<void()>& /*processMessages*/ = {}) {}

  // The files the store reads, which nothing the program writes may replace.
  virtual std::vector<std::string> SourceFiles() const { return {}; }

  // The problems found while reading since the last call, each once, in the
  // order found; the list is then empty again.
  virtual std::vector<StoreProblem> TakeProblems() { return {}; }

  // What the user should know about the source before relying on it (a file
  // whose last write was cut off), found when it was opened.
  virtual std::vector<std::string> SourceNotes() const { return {}; }

  // True when the store can never be written (OpenKeyForWrite always fails),
  // so that nothing is attempted that would only fail.
  virtual bool ReadOnly() const { return false; }
};

// The narrow form of stored data: for types 1, 2 and 7 the whole UTF-16LE
// buffer (every zero unit included) converted to CP932; other types unchanged.
std::string NarrowValueData(uint32_t type, std::string_view wideData);
bool IsStringType(uint32_t type);

// Splits a path relative to a root into key names. A leading and a trailing
// backslash are ignored; an empty name in between makes the path invalid.
bool SplitKeyPath(std::string_view path, std::vector<std::string_view>& names);

}  // namespace tarnwick

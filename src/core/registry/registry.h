// TRegistry: the registry accessor the program reads through. It has a root
// key and at most one open key, the current key, and answers the few questions
// the export and the dialogs ask of it, and makes the few writes the program
// needs. Paths are relative to the root. Each user of the registry (an export
// run, a dialog) has an accessor of its own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "registry/registry_store.h"

namespace tarnwick {

// The kind of a value as the program distinguishes them.
enum class TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

struct TRegDataInfo {
  TRegDataType RegData = TRegDataType::rdUnknown;
  uint32_t DataSize = 0;
};

// The questions asked of one open key, or of none: every query then fails.
class KeyReader {
 public:
  explicit KeyReader(const RegistryKey* key) : key_(key) {}

  // Subkey and value names in the registry's order; empty without a key.
  // The list is cleared first.
  void GetKeyNames(std::vector<std::string>& names) const;
  void GetValueNames(std::vector<std::string>& names) const;
  bool HasSubKeys() const;

  bool ValueExists(std::string_view name) const;
  // rdUnknown for other types and when the query fails.
  TRegDataType GetDataType(std::string_view name) const;
  bool GetDataInfo(std::string_view name, TRegDataInfo& info) const;

  // REG_SZ or REG_EXPAND_SZ text, cut at the first NUL; throws
  // ERegistryException when the query fails or the type is another.
  std::string ReadString(std::string_view name) const;
  // The data of a REG_DWORD value; fewer than 4 bytes are the low-order bytes.
  // Throws ERegistryException when the query fails (data longer than 4 bytes
  // included) or the type is another.
  uint32_t ReadInteger(std::string_view name) const;
  // Copies up to size data bytes and returns how many; throws when the query fails.
  std::size_t ReadBinaryData(std::string_view name, void* buffer, std::size_t size) const;

  // Raw queries, as RegQueryValueExW/A: false without a key or when the query fails.
  bool QueryValueInfo(std::string_view name, TextForm form, uint32_t& type, uint32_t& size) const;
  bool QueryValue(std::string_view name, TextForm form, uint32_t maxSize, RegValue& value) const;

 private:
  const RegistryKey* key_;
};

// Opens with read rights, else query-and-enumerate, else query rights: the
// read-only open of the accessor. Null when all fail.
std::unique_ptr<RegistryKey> OpenKeyReadOnly(RegistryStore& store, uint32_t root,
                                             std::string_view path);
std::unique_ptr<RegistryKey> OpenSubKeyReadOnly(const RegistryKey& parent, std::string_view path);

class TRegistry {
 public:
  explicit TRegistry(RegistryStore& store) : store_(store) {}

  // Later paths are relative to this root; any current key is closed. A root
  // of 0 makes every later open fail.
  void SetRootKey(uint32_t root);
  uint32_t RootKey() const { return root_; }

  // True when the key opens with query and enumerate rights. The current key
  // stays as it was. The empty path names the root itself.
  bool KeyExists(std::string_view path);
  // Makes the key current with OpenKeyReadOnly above. False when that fails;
  // there is then no current key.
  bool OpenKeyReadOnly(std::string_view path);
  // Makes the key current for reading and writing; with canCreate the key and
  // its missing parents are created. False when that fails; there is then no
  // current key.
  bool OpenKey(std::string_view path, bool canCreate);
  void CloseKey();
  bool HasCurrentKey() const { return current_ != nullptr; }

  // The questions of KeyReader, asked of the current key.
  KeyReader Current() const { return KeyReader(current_.get()); }
  void GetKeyNames(std::vector<std::string>& names) const { Current().GetKeyNames(names); }
  void GetValueNames(std::vector<std::string>& names) const { Current().GetValueNames(names); }
  bool HasSubKeys() const { return Current().HasSubKeys(); }
  bool ValueExists(std::string_view name) const { return Current().ValueExists(name); }
  TRegDataType GetDataType(std::string_view name) const { return Current().GetDataType(name); }
  bool GetDataInfo(std::string_view name, TRegDataInfo& info) const {
    return Current().GetDataInfo(name, info);
  }
  std::string ReadString(std::string_view name) const { return Current().ReadString(name); }
  uint32_t ReadInteger(std::string_view name) const { return Current().ReadInteger(name); }
  std::size_t ReadBinaryData(std::string_view name, void* buffer, std::size_t size) const {
    return Current().ReadBinaryData(name, buffer, size);
  }
  bool QueryValueInfo(std::string_view name, TextForm form, uint32_t& type, uint32_t& size) const {
    return Current().QueryValueInfo(name, form, type, size);
  }
  bool QueryValue(std::string_view name, TextForm form, uint32_t maxSize, RegValue& value) const {
    return Current().QueryValue(name, form, maxSize, value);
  }

  // Write a REG_SZ value (UTF-8 text stored as UTF-16LE with its NUL) or a
  // REG_DWORD value to the current key. Throw ERegistryException, naming the
  // value, when there is no current key or the write fails.
  void WriteString(std::string_view name, std::string_view value);
  void WriteInteger(std::string_view name, uint32_t value);

 private:
  RegistryStore& store_;
  uint32_t root_ = 0x80000001;  // HKEY_CURRENT_USER, as a new accessor starts
  std::unique_ptr<RegistryKey> current_;
};

// True when the key path's key (and, for a value path, the value) exists.
bool KeyPathExists(RegistryStore& store, std::string_view path);

// Text of a wide string buffer up to its first zero unit. An odd last byte
// counts as a unit whose high byte is zero.
std::u16string WideTextUpToNul(std::string_view bytes);

}  // namespace tarnwick

// A registry held in memory and built through code, for tests. It enumerates
// as Windows does (subkeys sorted by upper-case fold, values in the order they
// were first set), takes writes through the store interface and can model
// access failures.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "registry/registry_store.h"

namespace tarnwick {

class MemoryStore : public RegistryStore {
 public:
  enum class ValueFault {
    None,
    DataReadFails,  // type and size queries work; reading the data fails
    Vanished,       // still enumerated, but every query fails
  };

  MemoryStore();
  ~MemoryStore() override;

  // Key paths name the root in short form ("HKCU\Software\Foo"). Missing
  // parents are created. A path whose root is not known is ignored.
  void AddKey(std::string_view keyPath);
  // Sets a value, creating its key; the raw data are stored as given.
  void SetValue(std::string_view keyPath, std::string_view name, uint32_t type, std::string data);
  // A string value of type 1, 2 or 7: UTF-8 text stored as UTF-16LE with its NUL.
  void SetString(std::string_view keyPath, std::string_view name, std::string_view text,
                 uint32_t type = kRegSz);
  void SetDword(std::string_view keyPath, std::string_view name, uint32_t value);

  // The key passes existence tests, but every open for reading fails.
  void SetUnreadable(std::string_view keyPath);
  // Still listed by its parent, but gone: existence tests and opens fail.
  void SetVanished(std::string_view keyPath);
  // Listing the key's subkeys fails.
  void SetSubKeysUnlistable(std::string_view keyPath);
  void SetValueFault(std::string_view keyPath, std::string_view name, ValueFault fault);
  // Opening the key for writing fails, and so does creating a subkey below it,
  // as when its security denies write access. Reads still work.
  void SetReadOnly(std::string_view keyPath);
  // Writing a value of this name (any case) fails, in every key.
  void SetWriteFault(std::string_view valueName);

  std::unique_ptr<RegistryKey> OpenKey(uint32_t root, std::string_view path,
                                       uint32_t access) override;
  bool KeyExists(uint32_t root, std::string_view path) override;
  std::unique_ptr<RegistryKey> OpenKeyForWrite(uint32_t root, std::string_view path,
                                               bool create) override;

  struct Node;

 private:
  Node* Find(uint32_t root, std::string_view path) const;
  Node* Create(std::string_view keyPath);

  std::map<uint32_t, std::unique_ptr<Node>> roots_;
  std::vector<std::u16string> writeFaults_;
};

}  // namespace tarnwick

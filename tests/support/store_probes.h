// What tests ask of a registry store, in a form that compares whole: the
// names below a key, and the text of a string value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/text_codec.h"
#include "registry/registry_store.h"

namespace tarnwick::test {

// The subkey names of root\path in enumeration order; "<cannot open>" when
// the key does not open for reading.
inline std::vector<std::string> SubKeys(RegistryStore& store, uint32_t root,
                                        std::string_view path) {
  std::vector<std::string> names;
  auto key = store.OpenKey(root, path, kKeyRead);
  if (!key) return {"<cannot open>"};
  key->SubKeyNames(names);
  return names;
}

// The same for value names.
inline std::vector<std::string> Values(RegistryStore& store, uint32_t root,
                                       std::string_view path) {
  std::vector<std::string> names;
  auto key = store.OpenKey(root, path, kKeyRead);
  if (!key) return {"<cannot open>"};
  key->ValueNames(names);
  return names;
}

// The text of a string value, without its NUL; "<missing>" when it cannot be read.
inline std::string Text(RegistryStore& store, uint32_t root, std::string_view path,
                        std::string_view name) {
  auto key = store.OpenKey(root, path, kKeyRead);
  RegValue value;
  if (!key || !key->QueryValue(name, TextForm::Wide, 1 << 20, value)) return "<missing>";
  std::u16string units = LeBytesToUtf16(value.data);
  if (!units.empty() && units.back() == 0) units.pop_back();
  return Utf16ToUtf8(units);
}

}  // namespace tarnwick::test

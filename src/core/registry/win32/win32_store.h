// The live Windows registry through its own API (the W functions), in the
// 64-bit view on a 64-bit system. String data comes as the registry holds it,
// UTF-16LE; the narrow form is its CP932 conversion, never the ANSI API's,
// so a REG file does not depend on the machine's code page.
#pragma once

#include "registry/registry_store.h"

namespace tarnwick {

class Win32RegistryStore : public RegistryStore {
 public:
  // Opens root\path with the access asked for; a backslash at either end of
  // path is ignored, as the other stores do. Null when Windows refuses.
  std::unique_ptr<RegistryKey> OpenKey(uint32_t root, std::string_view path,
                                       uint32_t access) override;
  // RegCreateKeyExW with create, else RegOpenKeyExW, for reading and writing.
  std::unique_ptr<RegistryKey> OpenKeyForWrite(uint32_t root, std::string_view path,
                                               bool create) override;
};

}  // namespace tarnwick

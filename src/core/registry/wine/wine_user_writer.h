// Writes to user.reg, the HKEY_CURRENT_USER branch of a Wine prefix. Each
// change is made to the file's text (wine_reg_patch.h), then the new text is
// read back: it must give the old tree with the change and nothing else, or
// nothing is written. It is saved through a temporary file renamed over
// user.reg, and never while a wineserver runs for the prefix, which would
// overwrite the file from its memory.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "registry/wine/wine_reg_parser.h"

namespace tarnwick {

class WineUserWriter {
 public:
  // arch goes into the header of a user.reg that does not exist yet.
  WineUserWriter(std::string prefixDir, WineArch arch);

  // Key paths are names below the branch root, as spelled. True when the key
  // exists or, with create, has been added with its missing parents. False
  // when the key is missing, a name is not valid, a key on the way is a link
  // (writes do not follow links), or user.reg cannot be read or written.
  bool OpenKey(std::span<const std::u16string> names, bool create);
  // Creates or replaces a value of an existing key. A replaced value keeps
  // the spelling of its name.
  bool SetValue(std::span<const std::u16string> names, std::u16string_view valueName, uint32_t type,
                std::string_view data);

 private:
  std::string prefixDir_;
  WineArch arch_;
};

}  // namespace tarnwick

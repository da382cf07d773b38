// Lines of a Wine registry file as wineserver writes them (its save_subkeys
// and dump_value): key section headers, value lines and the file header, so
// that what this program adds to a file reads like the rest of it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "registry/wine/wine_reg_parser.h"

namespace tarnwick {

// Appends text escaped for a registry file: backslash and the characters of
// escapeSet get a backslash, control characters C or octal escapes, and
// everything from 0x80 \x escapes, padded to four digits when a hex digit
// follows. The escape set is "\"" for names and data, "[]" for key names.
void AppendWineEscaped(std::string& out, std::u16string_view text, std::string_view escapeSet);

// "[A\\B] <seconds>" and "#time=<FILETIME>", each with its line break: the
// start of a key's section. names are the key's path below the branch root.
std::string WineSectionHeader(std::span<const std::u16string> names, uint64_t fileTime);

// One value with its line break: "@=" or the quoted name, then the data in
// the form wineserver picks for the type and size (string forms only for
// string types ending in a NUL, dword only for 4 bytes, else a hex list
// wrapped after 76 characters).
std::string WineValueLine(std::u16string_view name, uint32_t type, std::string_view data);

// The first lines of a new user.reg, ending in a blank line.
std::string WineUserFileHeader(WineArch arch);

// The current time as a FILETIME: 100 ns units since 1601.
uint64_t WineFileTimeNow();

}  // namespace tarnwick

// Key paths: a short root name ("HKCU"), optionally a backslash and a subkey
// path, optionally "|" and a value name ("HKCU\Software\Foo|Bar"; an empty
// name after the bar names the default value). Text is UTF-8, so a separator
// byte can never be the second byte of a double-byte character.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

struct TRegRootKey {
  std::string LongName;
  std::string ShortName;
  uint32_t RootKey = 0;  // the predefined root handle; 0 for a root not in the table
};

inline constexpr uint32_t kHKeyClassesRoot = 0x80000000;
inline constexpr uint32_t kHKeyCurrentUser = 0x80000001;
inline constexpr uint32_t kHKeyLocalMachine = 0x80000002;
inline constexpr uint32_t kHKeyUsers = 0x80000003;
inline constexpr uint32_t kHKeyCurrentConfig = 0x80000005;

// Lookups scan from the top; the first match wins.
extern const std::array<TRegRootKey, 5> RootKeys;

// 1-based byte position of the last '|', 0 when there is none.
std::size_t ValueSeparatorPos(std::string_view path);
// The text after the last '|'; empty without one.
std::string KeyPathValueName(std::string_view path);
// Deletes the last '|' and what follows it.
void RemoveValueName(std::string& path);
// Removes the root component: "HKCU\A" -> "A", "HKCU" -> "", "HKCU|N" -> "|N".
void RemoveRootName(std::string& path);
// The value name when there is a '|', else the last key name (or the whole path).
std::string KeyPathLastName(std::string_view path);
// Copies the row whose short name is the path's first component (case-sensitive)
// into row; leaves row unchanged when none matches.
void FindRootKey(std::string_view path, TRegRootKey& row);
// Accepts long or short root names in any case and gives the short form, or ""
// when the text begins with no root name. Only the prefix is compared.
std::string NormalizeKeyPath(std::string_view text);
// Exactly `digits` lowercase hex digits: the lowest nibbles of value.
std::string IntToLowerHex(uint32_t value, int digits);

// A key path taken apart once, before the registry is asked about it.
struct KeyPathParts {
  TRegRootKey root;                      // RootKey 0 when no root matches
  std::string subPath;                   // below the root, as written
  std::optional<std::string> valueName;  // set when the path names one value
  std::string keyName;                   // the key as a REG file names it
};
KeyPathParts ParseKeyPath(std::string_view path);

}  // namespace tarnwick

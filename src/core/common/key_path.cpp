#include "common/key_path.h"

#include "common/collation.h"
#include "common/text_codec.h"

namespace tarnwick {

const std::array<TRegRootKey, 5> RootKeys = {{
    {"HKEY_CLASSES_ROOT", "HKCR", kHKeyClassesRoot},
    {"HKEY_CURRENT_USER", "HKCU", kHKeyCurrentUser},
    {"HKEY_LOCAL_MACHINE", "HKLM", kHKeyLocalMachine},
    {"HKEY_USERS", "HKU", kHKeyUsers},
    {"HKEY_CURRENT_CONFIG", "HKCC", kHKeyCurrentConfig},
}};

std::size_t ValueSeparatorPos(std::string_view path) {
  std::size_t pos = path.rfind('|');
  return pos == std::string_view::npos ? 0 : pos + 1;
}

std::string KeyPathValueName(std::string_view path) {
  std::size_t pos = ValueSeparatorPos(path);
  return pos == 0 ? std::string() : std::string(path.substr(pos));
}

void RemoveValueName(std::string& path) {
  std::size_t pos = ValueSeparatorPos(path);
  if (pos > 0) path.erase(pos - 1);
}

void RemoveRootName(std::string& path) {
  std::size_t backslash = path.find('\\');
  if (backslash != std::string::npos) {
    path.erase(0, backslash + 1);
  } else if (std::size_t bar = ValueSeparatorPos(path); bar > 0) {
    path.erase(0, bar - 1);
  } else {
    path.clear();
  }
}

std::string KeyPathLastName(std::string_view path) {
  if (ValueSeparatorPos(path) > 0) return KeyPathValueName(path);
  std::size_t backslash = path.rfind('\\');
  return std::string(backslash == std::string_view::npos ? path : path.substr(backslash + 1));
}

void FindRootKey(std::string_view path, TRegRootKey& row) {
  std::string copy(path);
  RemoveValueName(copy);
  std::string_view first = std::string_view(copy).substr(0, copy.find('\\'));
  for (const TRegRootKey& root : RootKeys) {
    if (first == root.ShortName) {
      row = root;
      return;
    }
  }
}

std::string NormalizeKeyPath(std::string_view text) {
  for (const TRegRootKey& root : RootKeys) {
    for (const std::string& name : {root.LongName, root.ShortName}) {
      std::string_view prefix = Utf8LeadingChars(text, name.size());
      if (SameTextIgnoreCase(prefix, name)) {
        return root.ShortName + std::string(text.substr(prefix.size()));
      }
    }
  }
  return std::string();
}

std::string IntToLowerHex(uint32_t value, int digits) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out(static_cast<std::size_t>(digits > 0 ? digits : 0), '0');
  for (int i = digits - 1; i >= 0; --i) {
    out[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    value >>= 4;
  }
  return out;
}

KeyPathParts ParseKeyPath(std::string_view path) {
  KeyPathParts parts;
  parts.subPath.assign(path);
  RemoveRootName(parts.subPath);
  if (ValueSeparatorPos(parts.subPath) > 0) {
    parts.valueName = KeyPathValueName(parts.subPath);
    RemoveValueName(parts.subPath);
  }
  FindRootKey(path, parts.root);
  parts.keyName = parts.root.LongName;
  if (path.find('\\') != std::string_view::npos) parts.keyName += '\\';
  parts.keyName += parts.subPath;
  return parts;
}

}  // namespace tarnwick

#include "registry/registry_store.h"

#include "common/text_codec.h"

namespace tarnwick {

bool RegistryStore::KeyExists(uint32_t root, std::string_view path) {
  return OpenKey(root, path, kKeyExistsAccess) != nullptr;
}

bool IsStringType(uint32_t type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

std::string NarrowValueData(uint32_t type, std::string_view wideData) {
  if (!IsStringType(type)) return std::string(wideData);
  return Utf16ToCp932(LeBytesToUtf16(wideData));
}

bool SplitKeyPath(std::string_view path, std::vector<std::string_view>& names) {
  names.clear();
  if (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  while (!path.empty()) {
    std::size_t pos = path.find('\\');
    std::string_view name = path.substr(0, pos);
    if (name.empty()) return false;
    names.push_back(name);
    if (pos == std::string_view::npos) break;
    path.remove_prefix(pos + 1);
  }
  return true;
}

}  // namespace tarnwick

#include "common/collation.h"

#include "platform/text.h"

namespace tarnwick {

int CompareTextIgnoreCase(std::string_view a, std::string_view b) {
  return platform::CompareJapanese(a, b, true);
}

bool SameTextIgnoreCase(std::string_view a, std::string_view b) {
  // Plain ASCII names, the common case, need no collator to be told apart.
  auto ascii = [](std::string_view s) {
    for (char c : s) {
      if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
  };
  if (ascii(a) && ascii(b)) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      char x = a[i], y = b[i];
      if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
      if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
      if (x != y) return false;
    }
    return true;
  }
  return CompareTextIgnoreCase(a, b) == 0;
}

std::string CollationKeyIgnoreCase(std::string_view text) {
  return platform::JapaneseKeyIgnoreCase(text);
}

int CompareTextLocale(std::string_view a, std::string_view b) {
  return platform::CompareJapanese(a, b, false);
}

}  // namespace tarnwick

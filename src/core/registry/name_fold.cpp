#include "registry/name_fold.h"

#include <locale.h>
#include <wctype.h>

#include <array>
#include <memory>

namespace tarnwick {
namespace {

// Built once from the C library's Unicode case mappings (the "C" locale
// would fold ASCII only). Surrogates fold to themselves.
struct FoldTables {
  std::array<char16_t, 0x10000> upper;
  std::array<char16_t, 0x10000> lower;

  FoldTables() {
    locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    for (uint32_t u = 0; u < 0x10000; ++u) {
      upper[u] = lower[u] = static_cast<char16_t>(u);
      bool surrogate = u >= 0xD800 && u < 0xE000;
      if (surrogate) continue;
      wint_t up = utf8 ? towupper_l(u, utf8) : towupper(u);
      wint_t low = utf8 ? towlower_l(u, utf8) : towlower(u);
      if (up < 0x10000) upper[u] = static_cast<char16_t>(up);
      if (low < 0x10000) lower[u] = static_cast<char16_t>(low);
    }
    if (utf8) freelocale(utf8);
  }
};

const FoldTables& Tables() {
  static const std::unique_ptr<FoldTables> tables = std::make_unique<FoldTables>();
  return *tables;
}

template <char16_t (*Fold)(char16_t)>
int CompareFolded(std::u16string_view a, std::u16string_view b) {
  std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    char16_t x = Fold(a[i]), y = Fold(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

}  // namespace

char16_t FoldUpper(char16_t unit) {
  return unit < 0x80 ? (unit >= 'a' && unit <= 'z' ? unit - 32 : unit) : Tables().upper[unit];
}
char16_t FoldLower(char16_t unit) {
  return unit < 0x80 ? (unit >= 'A' && unit <= 'Z' ? unit + 32 : unit) : Tables().lower[unit];
}

int CompareFoldedUpper(std::u16string_view a, std::u16string_view b) {
  return CompareFolded<FoldUpper>(a, b);
}

int CompareFoldedLower(std::u16string_view a, std::u16string_view b) {
  return CompareFolded<FoldLower>(a, b);
}

}  // namespace tarnwick

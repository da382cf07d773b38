#include "registry/name_fold.h"

#include <array>
#include <cstdint>
#include <memory>

#include "platform/text.h"

namespace tarnwick {
namespace {

// Built once from the platform's Unicode case mappings. Surrogates fold to
// themselves.
struct FoldTables {
  std::array<char16_t, 0x10000> upper;
  std::array<char16_t, 0x10000> lower;

  FoldTables() {
    for (uint32_t u = 0; u < 0x10000; ++u) {
      auto unit = static_cast<char16_t>(u);
      bool surrogate = u >= 0xD800 && u < 0xE000;
      upper[u] = surrogate ? unit : platform::UpperCaseOf(unit);
      lower[u] = surrogate ? unit : platform::LowerCaseOf(unit);
    }
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

// Case folding of registry names, one UTF-16 unit at a time, as the registry
// orders and matches names: Windows compares upper-cased units, wineserver
// lower-cased ones. Names compare unit by unit; the shorter sorts first on a tie.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

char16_t FoldUpper(char16_t unit);
char16_t FoldLower(char16_t unit);

int CompareFoldedUpper(std::u16string_view a, std::u16string_view b);
int CompareFoldedLower(std::u16string_view a, std::u16string_view b);

}  // namespace tarnwick

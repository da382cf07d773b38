// Locale-aware comparison of names, as the user's locale (Japanese) sorts them.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// Case-insensitive comparison, for sorting names and for testing two names for
// equality. Negative, zero or positive as a sorts before, with, or after b.
int CompareTextIgnoreCase(std::string_view a, std::string_view b);

// Case-sensitive locale comparison (the lstrcmp order).
int CompareTextLocale(std::string_view a, std::string_view b);

bool SameTextIgnoreCase(std::string_view a, std::string_view b);

// A key of the text for CompareTextIgnoreCase: the keys of two texts are
// equal exactly when it finds them equal, so that names can be looked up in
// a set instead of being compared one by one.
std::string CollationKeyIgnoreCase(std::string_view text);

}  // namespace tarnwick

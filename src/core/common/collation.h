// Locale-aware comparison of names, as the user's locale (Japanese) sorts them.
#pragma once

#include <string_view>

namespace tarnwick {

// Case-insensitive comparison, for sorting names and for testing two names for
// equality. Negative, zero or positive as a sorts before, with, or after b.
int CompareTextIgnoreCase(std::string_view a, std::string_view b);

// Case-sensitive locale comparison (the lstrcmp order).
int CompareTextLocale(std::string_view a, std::string_view b);

bool SameTextIgnoreCase(std::string_view a, std::string_view b);

}  // namespace tarnwick

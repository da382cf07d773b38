// Comma text: a list of strings in one INI value. Elements holding a space,
// a control character, a comma or a double quote are quoted, with inner
// quotes doubled.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

std::string JoinCommaText(const std::vector<std::string>& elements);
std::vector<std::string> SplitCommaText(std::string_view text);

}  // namespace tarnwick

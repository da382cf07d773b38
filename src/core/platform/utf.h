// UTF-8, the program's own text, and UTF-16, the systems' wide text: the
// one conversion every layer needs, the platform's own code included.
// Invalid UTF-8 bytes and lone surrogates become U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
void AppendUtf8AsUtf16(std::u16string& out, std::string_view utf8);

}  // namespace tarnwick

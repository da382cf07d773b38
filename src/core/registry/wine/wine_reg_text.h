// The pieces of a Wine registry line, decoded as wineserver decodes them:
// escaped names and strings, hexadecimal numbers and byte lists. Each function
// reads the range [p, end) only, a line's text, which never holds a NUL byte
// (the reader ends a line's text at its first NUL, as C string handling does).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarnwick {

inline constexpr std::size_t kWineBadText = static_cast<std::size_t>(-1);

// isspace of the C locale.
inline bool IsWineSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Decodes escaped text up to the first unescaped terminator ('"' for names,
// data and classes, ']' for key paths) into out, which needs room for
// end - p units. Escapes: \a \b \e \f \n \r \t \v, \x with 1 to 4 hex digits,
// 1 to 3 octal digits, and a backslash before any other character gives that
// character. Bytes from 0x80 are read as UTF-8, characters above U+FFFF as
// surrogate pairs; invalid sequences are dropped. Returns the number of units
// and moves p past the terminator, or returns kWineBadText when the text ends
// first or with a lone backslash.
std::size_t UnescapeWineText(const char*& p, const char* end, char terminator, char16_t* out);

// strtoul(p, &stop, 16) as glibc computes it with a 64-bit unsigned long:
// leading white space, an optional sign and "0x", then the digits; too large a
// number gives 2^64 - 1. Without digits the result is 0 and stop is p.
uint64_t ParseHexNumber(const char* p, const char* end, const char** stop);

// Reads a list of byte tokens separated by white space and at most one comma
// ("00,01, 2 ,ff"), appending the bytes to out. Each token is read like
// strtoul: "0x1" and "001" are 1. Returns where the list ends, or nullptr
// when a token is larger than 0xff.
const char* ParseHexBytes(const char* p, const char* end, std::string& out);

}  // namespace tarnwick

// Conversions between the program's UTF-8 text, UTF-16 (the registry's and
// version 5 REG files' form) and CP932, the system code page of the data file,
// the settings file and REGEDIT4 output. A character CP932 cannot hold
// becomes '?'. Invalid UTF-8 bytes and lone surrogates become U+FFFD.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/utf.h"

namespace tarnwick {

std::string Utf16ToCp932(std::u16string_view utf16);
void AppendUtf16AsCp932(std::string& out, std::u16string_view utf16);
std::u16string Cp932ToUtf16(std::string_view cp932);
void AppendCp932AsUtf16(std::u16string& out, std::string_view cp932);
// The same into out, which has room for cp932.size() units; returns how many
// were written.
std::size_t Cp932ToUtf16Units(std::string_view cp932, char16_t* out);

std::string Utf8ToCp932(std::string_view utf8);
std::string Cp932ToUtf8(std::string_view cp932);

// The first count characters of UTF-8 text (all of it when shorter).
std::string_view Utf8LeadingChars(std::string_view text, std::size_t count);

// Number of bytes the text takes in CP932.
std::size_t Cp932Length(std::u16string_view utf16);
// True when CP932 holds every character, so nothing becomes '?'.
bool FitsCp932(std::u16string_view utf16);
std::size_t Cp932Length(std::string_view utf8);

// The offset of the first byte that is not CP932 text: a byte CP932 does not
// define, a lead byte without a valid trail byte. npos when all are valid.
std::size_t FirstNonCp932Byte(std::string_view bytes);
// True when the bytes hold non-ASCII text and all of it is valid UTF-8:
// Japanese CP932 text practically never is.
bool LooksLikeUtf8(std::string_view bytes);

// UTF-16LE bytes, as stored in the registry and in version 5 REG files.
std::string Utf16ToLeBytes(std::u16string_view utf16);
std::u16string LeBytesToUtf16(std::string_view bytes);  // an odd last byte is dropped

// Text as a report or a terminal shows it: CR, LF and NUL as \r, \n and \0,
// other control characters as \xNN or \u00NN, so that a hostile name can
// neither break the report's lines nor drive a terminal.
std::string ShownName(std::string_view name);

}  // namespace tarnwick

// The text services whose implementation differs between POSIX (iconv, the C
// library, ICU) and Windows (its own API): CP932 conversion of one character,
// simple case mapping of one UTF-16 unit, and Japanese locale comparison.
// The codec, the name folding and the collation of common/ and registry/
// build on these alone, so the Windows build needs neither iconv nor ICU.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick::platform {

// One CP932 conversion each way, opened once and used for many characters.
class Cp932Converter {
 public:
  Cp932Converter();  // throws std::runtime_error when CP932 is not available
  ~Cp932Converter();
  Cp932Converter(const Cp932Converter&) = delete;
  Cp932Converter& operator=(const Cp932Converter&) = delete;

  // The CP932 bytes (one or two) of a BMP unit that is no surrogate; 0 when
  // CP932 has no such character.
  std::size_t Encode(char16_t unit, unsigned char out[2]);
  // The unit that one or two CP932 bytes stand for; false when they are no
  // one character.
  bool Decode(const char* bytes, std::size_t length, char16_t& unit);

 private:
  void Close();

  void* toCp932_ = nullptr;
  void* fromCp932_ = nullptr;
};

// Unicode's simple upper and lower case of a unit that is no surrogate;
// the unit itself when it has none in the BMP.
char16_t UpperCaseOf(char16_t unit);
char16_t LowerCaseOf(char16_t unit);

// Japanese locale comparison of UTF-8 texts at full strength (width and kana
// type count); ignoreCase compares as if both were case-folded. Negative,
// zero or positive.
int CompareJapanese(std::string_view a, std::string_view b, bool ignoreCase);

// The collation key of a UTF-8 text for CompareJapanese(a, b, true): the keys
// of two texts are equal exactly when that comparison finds them equal.
std::string JapaneseKeyIgnoreCase(std::string_view text);

}  // namespace tarnwick::platform

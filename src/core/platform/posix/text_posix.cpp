// POSIX: iconv for CP932 (never SHIFT_JIS, which maps 0x5C to the yen sign),
// the C library's Unicode case mappings, ICU's Japanese collator.
#include <iconv.h>
#include <locale.h>
#include <unicode/ucol.h>
#include <unicode/ustring.h>
#include <wctype.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "platform/text.h"
#include "platform/utf.h"

namespace tarnwick::platform {
namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// Converts all of in, or nothing; the number of bytes written.
std::size_t Convert(void* cd, const char* in, std::size_t inLen, char* out, std::size_t outLen) {
  iconv_t converter = static_cast<iconv_t>(cd);
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  char* inPtr = const_cast<char*>(in);
  char* outPtr = out;
  std::size_t outLeft = outLen;
  if (iconv(converter, &inPtr, &inLen, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
      inLen != 0) {
    return 0;
  }
  return outLen - outLeft;
}

// The "C" locale would map ASCII only.
locale_t Utf8Locale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return locale;
}

struct CollatorCloser {
  void operator()(UCollator* c) const { ucol_close(c); }
};

UCollator* JapaneseCollator() {
  static const std::unique_ptr<UCollator, CollatorCloser> collator = [] {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* c = ucol_open("ja_JP", &status);
    if (U_FAILURE(status)) throw std::runtime_error("ICU has no collator for ja_JP");
    // Japanese tailoring treats width and kana type as minor differences;
    // names that differ in them are still different names.
    ucol_setStrength(c, UCOL_IDENTICAL);
    return std::unique_ptr<UCollator, CollatorCloser>(c);
  }();
  return collator.get();
}

std::u16string FoldCase(std::string_view text) {
  std::u16string in = Utf8ToUtf16(text);
  std::u16string out(in.size() * 3 + 1, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t n = u_strFoldCase(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                            reinterpret_cast<const UChar*>(in.data()),
                            static_cast<int32_t>(in.size()), U_FOLD_CASE_DEFAULT, &status);
  if (U_FAILURE(status)) return in;
  out.resize(static_cast<std::size_t>(n));
  return out;
}

int Sign(UCollationResult r) {
  return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

}  // namespace

Cp932Converter::Cp932Converter()
    : toCp932_(iconv_open("CP932", "UTF-16LE")), fromCp932_(iconv_open("UTF-16LE", "CP932")) {
  if (toCp932_ == kNoConverter || fromCp932_ == kNoConverter) {
    Close();  // no destructor runs for a constructor that throws
    throw std::runtime_error("iconv has no CP932 converter");
  }
}

Cp932Converter::~Cp932Converter() {
  Close();
}

void Cp932Converter::Close() {
  for (void** cd : {&toCp932_, &fromCp932_}) {
    if (*cd != kNoConverter) iconv_close(static_cast<iconv_t>(*cd));
    *cd = kNoConverter;
  }
}

std::size_t Cp932Converter::Encode(char16_t unit, unsigned char out[2]) {
  const char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  char bytes[4];
  std::size_t n = Convert(toCp932_, in, 2, bytes, sizeof bytes);
  if (n < 1 || n > 2) return 0;
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<unsigned char>(bytes[i]);
  return n;
}

bool Cp932Converter::Decode(const char* bytes, std::size_t length, char16_t& unit) {
  char out[8];
  if (Convert(fromCp932_, bytes, length, out, sizeof out) != 2) return false;
  unit = static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                               static_cast<unsigned char>(out[1]) << 8);
  return true;
}

char16_t UpperCaseOf(char16_t unit) {
  wint_t up = Utf8Locale() ? towupper_l(unit, Utf8Locale()) : towupper(unit);
  return up < 0x10000 ? static_cast<char16_t>(up) : unit;
}

char16_t LowerCaseOf(char16_t unit) {
  wint_t low = Utf8Locale() ? towlower_l(unit, Utf8Locale()) : towlower(unit);
  return low < 0x10000 ? static_cast<char16_t>(low) : unit;
}

int CompareJapanese(std::string_view a, std::string_view b, bool ignoreCase) {
  if (ignoreCase) {
    // Folding case first and comparing at full strength ignores case and
    // nothing else: width and kana still tell names apart.
    std::u16string fa = FoldCase(a), fb = FoldCase(b);
    return Sign(ucol_strcoll(JapaneseCollator(), reinterpret_cast<const UChar*>(fa.data()),
                             static_cast<int32_t>(fa.size()),
                             reinterpret_cast<const UChar*>(fb.data()),
                             static_cast<int32_t>(fb.size())));
  }
  UErrorCode status = U_ZERO_ERROR;
  UCollationResult r =
      ucol_strcollUTF8(JapaneseCollator(), a.data(), static_cast<int32_t>(a.size()), b.data(),
                       static_cast<int32_t>(b.size()), &status);
  if (U_FAILURE(status)) return a.compare(b) < 0 ? -1 : a.compare(b) > 0 ? 1 : 0;
  return Sign(r);
}

std::string JapaneseKeyIgnoreCase(std::string_view text) {
  // The same folding and collator as CompareJapanese: ICU's sort keys
  // compare as its comparison does.
  const std::u16string folded = FoldCase(text);
  const auto* units = reinterpret_cast<const UChar*>(folded.data());
  const auto length = static_cast<int32_t>(folded.size());
  std::string key(folded.size() * 4 + 16, '\0');
  int32_t n =
      ucol_getSortKey(JapaneseCollator(), units, length, reinterpret_cast<uint8_t*>(key.data()),
                      static_cast<int32_t>(key.size()));
  if (n > static_cast<int32_t>(key.size())) {
    key.resize(static_cast<std::size_t>(n));
    n = ucol_getSortKey(JapaneseCollator(), units, length, reinterpret_cast<uint8_t*>(key.data()),
                        n);
  }
  key.resize(static_cast<std::size_t>(n));
  return key;
}

}  // namespace tarnwick::platform

#include "common/collation.h"

#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "common/text_codec.h"

namespace tarnwick {
namespace {

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

int Sign(UCollationResult r) {
  return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
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

}  // namespace

int CompareTextIgnoreCase(std::string_view a, std::string_view b) {
  // Folding case first and comparing at full strength ignores case and
  // nothing else: width and kana still tell names apart.
  std::u16string fa = FoldCase(a);
  std::u16string fb = FoldCase(b);
  return Sign(ucol_strcoll(JapaneseCollator(), reinterpret_cast<const UChar*>(fa.data()),
                           static_cast<int32_t>(fa.size()),
                           reinterpret_cast<const UChar*>(fb.data()),
                           static_cast<int32_t>(fb.size())));
}

bool SameTextIgnoreCase(std::string_view a, std::string_view b) {
  // Plain ASCII names, the common case, need no collator to be told apart.
  auto ascii = [](std::string_view s) {
    for (char c : s) {
      if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
  };
  if (ascii(a) && ascii(b)) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      char x = a[i], y = b[i];
      if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
      if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
      if (x != y) return false;
    }
    return true;
  }
  return CompareTextIgnoreCase(a, b) == 0;
}

int CompareTextLocale(std::string_view a, std::string_view b) {
  UErrorCode status = U_ZERO_ERROR;
  UCollationResult r =
      ucol_strcollUTF8(JapaneseCollator(), a.data(), static_cast<int32_t>(a.size()), b.data(),
                       static_cast<int32_t>(b.size()), &status);
  if (U_FAILURE(status)) return a.compare(b) < 0 ? -1 : a.compare(b) > 0 ? 1 : 0;
  return Sign(r);
}

}  // namespace tarnwick

// Windows: code page 932 and the Japanese locale of the system itself.
#include <windows.h>

#include <string>

#include "platform/text.h"
#include "platform/win32/wide_text.h"

namespace tarnwick::platform {
namespace {

constexpr UINT kCp932 = 932;

char16_t MapCase(char16_t unit, DWORD flags) {
  wchar_t in = unit, out = unit;
  if (LCMapStringEx(LOCALE_NAME_INVARIANT, flags, &in, 1, &out, 1, nullptr, nullptr, 0) != 1) {
    return unit;
  }
  return static_cast<char16_t>(out);
}

}  // namespace

Cp932Converter::Cp932Converter() = default;
Cp932Converter::~Cp932Converter() = default;
void Cp932Converter::Close() {}

std::size_t Cp932Converter::Encode(char16_t unit, unsigned char out[2]) {
  const wchar_t in = unit;
  char bytes[4];
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, &in, 1, bytes, sizeof bytes, nullptr,
                              &usedDefault);
  if (n < 1 || n > 2 || usedDefault) return 0;
  for (int i = 0; i < n; ++i) out[i] = static_cast<unsigned char>(bytes[i]);
  return static_cast<std::size_t>(n);
}

bool Cp932Converter::Decode(const char* bytes, std::size_t length, char16_t& unit) {
  wchar_t out[2];
  int n =
      MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(length), out, 2);
  if (n != 1) return false;
  unit = static_cast<char16_t>(out[0]);
  return true;
}

char16_t UpperCaseOf(char16_t unit) {
  return MapCase(unit, LCMAP_UPPERCASE);
}

char16_t LowerCaseOf(char16_t unit) {
  return MapCase(unit, LCMAP_LOWERCASE);
}

int CompareJapanese(std::string_view a, std::string_view b, bool ignoreCase) {
  std::wstring wa = Widen(a), wb = Widen(b);
  int r = CompareStringEx(L"ja-JP", ignoreCase ? NORM_IGNORECASE : 0, wa.data(),
                          static_cast<int>(wa.size()), wb.data(), static_cast<int>(wb.size()),
                          nullptr, nullptr, 0);
  return r == 0 ? wa.compare(wb) : r - CSTR_EQUAL;
}

std::string JapaneseKeyIgnoreCase(std::string_view text) {
  // LCMapStringEx's sort keys compare as CompareStringEx does with the same
  // flags. Where there is none (an empty text), the comparison falls back
  // on the units, and so does the key, marked apart from sort keys.
  std::wstring wide = Widen(text);
  const int length = static_cast<int>(wide.size());
  const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
  int n = LCMapStringEx(L"ja-JP", flags, wide.data(), length, nullptr, 0, nullptr, nullptr, 0);
  std::string key(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
  if (n > 0) {
    n = LCMapStringEx(L"ja-JP", flags, wide.data(), length, reinterpret_cast<LPWSTR>(key.data()), n,
                      nullptr, nullptr, 0);
  }
  if (n <= 0) return std::string(1, '\0') + std::string(text);
  key.resize(static_cast<std::size_t>(n));
  return key;
}

}  // namespace tarnwick::platform

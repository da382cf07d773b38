#include "common/text_codec.h"

#include <array>
#include <cstdint>
#include <memory>

#include "platform/text.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarnwick {
namespace {

// The CP932 tables are built once from the platform's converter, so that
// every conversion after that is a table look-up and agrees byte for byte
// with the platform's CP932.
class Cp932Tables {
 public:
  static const Cp932Tables& Get() {
    static const Cp932Tables tables;
    return tables;
  }

  // CP932 bytes of a BMP code unit: 0 when unmappable, else the one byte
  // (< 0x100) or the two bytes (lead << 8 | trail).
  uint16_t Encode(char16_t unit) const { return encode_[unit]; }

  bool IsLead(uint8_t byte) const { return decodeLead_[byte] != nullptr; }
  char16_t DecodeSingle(uint8_t byte) const { return decodeSingle_[byte]; }
  char16_t DecodeDouble(uint8_t lead, uint8_t trail) const { return (*decodeLead_[lead])[trail]; }

 private:
  using Row = std::array<char16_t, 256>;

  Cp932Tables() {
    platform::Cp932Converter cp932;
    for (uint32_t unit = 1; unit < 0x10000; ++unit) {
      if (unit >= 0xD800 && unit < 0xE000) continue;
      unsigned char out[2];
      std::size_t n = cp932.Encode(static_cast<char16_t>(unit), out);
      if (n == 1) encode_[unit] = out[0];
      if (n == 2) encode_[unit] = static_cast<uint16_t>(out[0] << 8 | out[1]);
    }
    for (uint32_t byte = 0; byte < 256; ++byte) {
      const char in[1] = {static_cast<char>(byte)};
      char16_t unit = 0;
      decodeSingle_[byte] = cp932.Decode(in, 1, unit) ? unit : u'?';
    }
    for (uint32_t lead = 0x81; lead < 0x100; ++lead) {
      if (decodeSingle_[lead] != u'?') continue;  // a byte of its own, not a lead byte
      auto row = std::make_unique<Row>();
      bool any = false;
      for (uint32_t trail = 0; trail < 256; ++trail) {
        const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        char16_t unit = 0;
        (*row)[trail] = 0;
        if (trail >= 0x40 && cp932.Decode(in, 2, unit)) {
          (*row)[trail] = unit;
          any = true;
        }
      }
      if (any) {
        decodeRows_[lead] = std::move(row);
        decodeLead_[lead] = decodeRows_[lead].get();
      }
    }
    // A character whose bytes read back as another one is a character CP932
    // lacks: iconv writes the yen sign as a backslash, the wave dash as the
    // fullwidth tilde. Windows, asked for no best fit, writes '?' for them;
    // both builds then write the same bytes and report the same losses.
    for (uint32_t unit = 1; unit < 0x10000; ++unit) {
      const uint16_t code = encode_[unit];
      if (code == 0) continue;
      const char16_t back = code < 0x100             ? decodeSingle_[code]
                            : decodeLead_[code >> 8] ? DecodeDouble(code >> 8, code & 0xFF)
                                                     : 0;
      if (back != unit) encode_[unit] = 0;
    }
  }

  std::array<uint16_t, 0x10000> encode_{};
  std::array<char16_t, 256> decodeSingle_{};
  std::array<const Row*, 256> decodeLead_{};
  std::array<std::unique_ptr<Row>, 256> decodeRows_;
};

bool IsHighSurrogate(char16_t u) {
  return u >= 0xD800 && u < 0xDC00;
}
bool IsLowSurrogate(char16_t u) {
  return u >= 0xDC00 && u < 0xE000;
}

// The CP932 code of the character starting at text[i] (see Cp932Tables::Encode;
// 0 for '?'), advancing i past a surrogate pair.
uint16_t Cp932Code(std::u16string_view text, std::size_t& i) {
  char16_t unit = text[i];
  if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) ++i;
  if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) return 0;
  return Cp932Tables::Get().Encode(unit);
}

}  // namespace

void AppendUtf16AsCp932(std::string& out, std::u16string_view utf16) {
  std::size_t start = out.size();
  out.resize(start + utf16.size() * 2);  // at most two bytes a unit
  char* p = out.data() + start;
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    if (utf16[i] < 0x80) {
      *p++ = static_cast<char>(utf16[i]);
      continue;
    }
    uint16_t code = Cp932Code(utf16, i);
    if (code == 0) {
      *p++ = '?';
    } else if (code < 0x100) {
      *p++ = static_cast<char>(code);
    } else {
      *p++ = static_cast<char>(code >> 8);
      *p++ = static_cast<char>(code & 0xFF);
    }
  }
  out.resize(static_cast<std::size_t>(p - out.data()));
}

std::string Utf16ToCp932(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  AppendUtf16AsCp932(out, utf16);
  return out;
}

std::u16string Cp932ToUtf16(std::string_view cp932) {
  std::u16string out;
  AppendCp932AsUtf16(out, cp932);
  return out;
}

void AppendCp932AsUtf16(std::u16string& out, std::string_view cp932) {
  // At most one unit a byte: written in place, then cut to what was written.
  const std::size_t start = out.size();
  out.resize(start + cp932.size());
  out.resize(start + Cp932ToUtf16Units(cp932, out.data() + start));
}

#if defined(__SSE2__)
// Widens sixteen bytes at s into out; false, with nothing written, unless
// all are ASCII.
bool WidenSixteenAscii(const unsigned char* s, char16_t* out) {
  const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
  if (_mm_movemask_epi8(chunk) != 0) return false;
  const __m128i zero = _mm_setzero_si128();
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(chunk, zero));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(chunk, zero));
  return true;
}
#endif

std::size_t Cp932ToUtf16Units(std::string_view cp932, char16_t* const out) {
  char16_t* p = out;
  const Cp932Tables* tables = nullptr;
  const auto* s = reinterpret_cast<const unsigned char*>(cp932.data());
  const std::size_t size = cp932.size();
#if defined(__SSE2__)
  // Most of a REG file is ASCII text: sixteen bytes at once, and the end of
  // an all-ASCII run widened again, overlapping what went before.
  if (size >= 16) {
    std::size_t i = 0;
    while (i + 16 <= size && WidenSixteenAscii(s + i, out + i)) i += 16;
    if (i + 16 > size && WidenSixteenAscii(s + size - 16, out + size - 16)) return size;
  }
#endif
  for (std::size_t i = 0; i < size; ++i) {
#if defined(__SSE2__)
    while (i + 16 <= size && WidenSixteenAscii(s + i, p)) {
      p += 16;
      i += 16;
    }
    if (i == size) break;
#endif
    unsigned char c = s[i];
    if (c < 0x80) {
      *p++ = c;
      continue;
    }
    if (!tables) tables = &Cp932Tables::Get();
    if (tables->IsLead(c) && i + 1 < cp932.size()) {
      char16_t unit = tables->DecodeDouble(c, s[i + 1]);
      if (unit != 0) {
        *p++ = unit;
        ++i;
        continue;
      }
    }
    *p++ = tables->IsLead(c) ? u'?' : tables->DecodeSingle(c);
  }
  return static_cast<std::size_t>(p - out);
}

std::size_t FirstNonCp932Byte(std::string_view bytes) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const Cp932Tables* tables = nullptr;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (s[i] < 0x80) continue;
    if (!tables) tables = &Cp932Tables::Get();
    if (tables->IsLead(s[i])) {
      if (i + 1 == bytes.size() || tables->DecodeDouble(s[i], s[i + 1]) == 0) return i;
      ++i;
    } else if (tables->DecodeSingle(s[i]) == u'?') {
      return i;
    }
  }
  return std::string_view::npos;
}

bool LooksLikeUtf8(std::string_view bytes) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  bool nonAscii = false;
  for (std::size_t i = 0; i < bytes.size();) {
    unsigned char c = s[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    nonAscii = true;
    std::size_t length = c >= 0xC2 && c <= 0xDF   ? 2
                         : c >= 0xE0 && c <= 0xEF ? 3
                         : c >= 0xF0 && c <= 0xF4 ? 4
                                                  : 0;
    if (length == 0 || i + length > bytes.size()) return false;
    uint32_t code = c & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return false;
      code = code << 6 | (s[i + k] & 0x3F);
    }
    bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    if (overlong || (code >= 0xD800 && code < 0xE000) || code > 0x10FFFF) return false;
    i += length;
  }
  return nonAscii;
}

std::string_view Utf8LeadingChars(std::string_view text, std::size_t count) {
  std::size_t i = 0;
  for (std::size_t chars = 0; i < text.size() && chars < count; ++chars) {
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
  }
  return text.substr(0, i);
}

std::string Utf8ToCp932(std::string_view utf8) {
  return Utf16ToCp932(Utf8ToUtf16(utf8));
}
std::string Cp932ToUtf8(std::string_view cp932) {
  return Utf16ToUtf8(Cp932ToUtf16(cp932));
}

std::size_t Cp932Length(std::u16string_view utf16) {
  std::size_t length = 0;
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    length += utf16[i] < 0x80 || Cp932Code(utf16, i) < 0x100 ? 1 : 2;
  }
  return length;
}

bool FitsCp932(std::u16string_view utf16) {
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    if (utf16[i] >= 0x80 && Cp932Code(utf16, i) == 0) return false;
  }
  return true;
}

std::size_t Cp932Length(std::string_view utf8) {
  bool ascii = true;
  for (char c : utf8) ascii &= static_cast<unsigned char>(c) < 0x80;
  return ascii ? utf8.size() : Cp932Length(Utf8ToUtf16(utf8));
}

std::string Utf16ToLeBytes(std::u16string_view utf16) {
  std::string out(utf16.size() * 2, '\0');
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    out[2 * i] = static_cast<char>(utf16[i] & 0xFF);
    out[2 * i + 1] = static_cast<char>(utf16[i] >> 8);
  }
  return out;
}

std::u16string LeBytesToUtf16(std::string_view bytes) {
  std::u16string out(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  }
  return out;
}

std::string ShownName(std::string_view name) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string shown;
  shown.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    // C1 controls are U+0080 to U+009F: 0xC2 0x80 to 0xC2 0x9F in UTF-8.
    const bool c1 = c == 0xC2 && i + 1 < name.size() &&
                    (static_cast<unsigned char>(name[i + 1]) & 0xE0) == 0x80;
    if (c == '\r') {
      shown += "\\r";
    } else if (c == '\n') {
      shown += "\\n";
    } else if (c == '\0') {
      shown += "\\0";
    } else if (c < 0x20 || c == 0x7F || c1) {
      const unsigned code = c1 ? static_cast<unsigned char>(name[++i]) : c;
      shown += c1 ? "\\u00" : "\\x";
      shown += kDigits[code >> 4];
      shown += kDigits[code & 0xF];
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

}  // namespace tarnwick

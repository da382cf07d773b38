#include "registry/wine/wine_reg_text.h"

#include <array>

namespace tarnwick {
namespace {

// Digit values, -1 for other bytes: a table keeps the hot loops free of
// branches that random data would mispredict.
constexpr std::array<int8_t, 256> kHexValues = [] {
  std::array<int8_t, 256> table{};
  for (int c = 0; c < 256; ++c) {
    table[c] = c >= '0' && c <= '9'   ? static_cast<int8_t>(c - '0')
               : c >= 'a' && c <= 'f' ? static_cast<int8_t>(c - 'a' + 10)
               : c >= 'A' && c <= 'F' ? static_cast<int8_t>(c - 'A' + 10)
                                      : int8_t{-1};
  }
  return table;
}();

inline int HexDigit(char c) {
  return kHexValues[static_cast<unsigned char>(c)];
}
inline unsigned HexValue(char c) {
  return static_cast<unsigned>(HexDigit(c));
}

inline bool IsOctalDigit(char c) {
  return c >= '0' && c <= '7';
}

// Continuation bytes after a UTF-8 lead byte 0x80..0xFF; 0 means the byte
// cannot start a sequence (wineserver's table: C0, C1 and F5..FF are invalid).
inline int Utf8Trail(unsigned char lead) {
  if (lead < 0xC2) return 0;
  if (lead < 0xE0) return 1;
  if (lead < 0xF0) return 2;
  if (lead < 0xF5) return 3;
  return 0;
}

// Decodes the UTF-8 sequence whose lead byte was just read. A sequence cut
// short drops what was read so far and leaves p at the byte that broke it; an
// overlong form or a code point above U+10FFFF is dropped whole.
inline char16_t* DecodeUtf8(unsigned char lead, const char*& p, const char* end, char16_t* d) {
  static constexpr unsigned char kMask[4] = {0x7f, 0x1f, 0x0f, 0x07};
  static constexpr uint32_t kMin[4] = {0x0, 0x80, 0x800, 0x10000};
  int trail = Utf8Trail(lead);
  if (trail == 0) return d;
  uint32_t code = lead & kMask[trail];
  for (int i = 0; i < trail; ++i) {
    if (p == end) return d;
    unsigned bits = static_cast<unsigned char>(*p) ^ 0x80u;
    if (bits >= 0x40) return d;
    code = code << 6 | bits;
    ++p;
  }
  if (code < kMin[trail] || code > 0x10FFFF) return d;
  if (code <= 0xFFFF) {
    *d++ = static_cast<char16_t>(code);
  } else {
    code -= 0x10000;
    *d++ = static_cast<char16_t>(0xD800 | code >> 10);
    *d++ = static_cast<char16_t>(0xDC00 | (code & 0x3FF));
  }
  return d;
}

}  // namespace

std::size_t UnescapeWineText(const char*& p, const char* end, char terminator, char16_t* out) {
  const char* s = p;
  char16_t* d = out;
  while (s < end) {
    char c = *s;
    if (c == terminator) {
      p = s + 1;
      return static_cast<std::size_t>(d - out);
    }
    ++s;
    if (c == '\\') {
      if (s == end) break;
      c = *s++;
      switch (c) {
        case 'a':
          *d++ = '\a';
          continue;
        case 'b':
          *d++ = '\b';
          continue;
        case 'e':
          *d++ = 0x1B;
          continue;
        case 'f':
          *d++ = '\f';
          continue;
        case 'n':
          *d++ = '\n';
          continue;
        case 'r':
          *d++ = '\r';
          continue;
        case 't':
          *d++ = '\t';
          continue;
        case 'v':
          *d++ = '\v';
          continue;
        case 'x': {
          if (s == end || HexDigit(*s) < 0) {
            *d++ = 'x';
            continue;
          }
          unsigned unit = 0;
          for (int i = 0; i < 4 && s < end && HexDigit(*s) >= 0; ++i)
            unit = unit * 16 + HexValue(*s++);
          *d++ = static_cast<char16_t>(unit);
          continue;
        }
        default:
          if (IsOctalDigit(c)) {
            unsigned unit = static_cast<unsigned>(c - '0');
            for (int i = 0; i < 2 && s < end && IsOctalDigit(*s); ++i)
              unit = unit * 8 + (*s++ - '0');
            *d++ = static_cast<char16_t>(unit);
            continue;
          }
          break;  // any other character stands for itself, UTF-8 included
      }
    }
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      *d++ = byte;
    } else {
      d = DecodeUtf8(byte, s, end, d);
    }
  }
  return kWineBadText;
}

uint64_t ParseHexNumber(const char* p, const char* end, const char** stop) {
  const char* s = p;
  while (s < end && IsWineSpace(*s)) ++s;
  bool negative = false;
  if (s < end && (*s == '-' || *s == '+')) negative = *s++ == '-';
  if (end - s >= 3 && s[0] == '0' && (s[1] | 0x20) == 'x' && HexDigit(s[2]) >= 0) s += 2;
  if (s == end || HexDigit(*s) < 0) {
    *stop = p;
    return 0;
  }
  uint64_t value = 0;
  bool overflow = false;
  for (; s < end && HexDigit(*s) >= 0; ++s) {
    if (value >> 60) overflow = true;
    value = value << 4 | HexValue(*s);
  }
  *stop = s;
  if (overflow) return UINT64_MAX;
  return negative ? 0 - value : value;
}

const char* ParseHexBytes(const char* p, const char* end, std::string& out) {
  // A token takes a digit and all but the last a separator: room for half the
  // text, rounded up, is enough.
  std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(end - p + 1) / 2);
  char* d = out.data() + at;
  while (p < end && HexDigit(*p) >= 0) {
    // Nearly every token is two digits followed by a separator.
    int high = HexDigit(p[0]), low = end - p >= 2 ? HexDigit(p[1]) : -1;
    if (low >= 0 && (end - p == 2 || HexDigit(p[2]) < 0)) {
      *d++ = static_cast<char>(high << 4 | low);
      p += 2;
    } else {
      const char* next;
      uint64_t value = ParseHexNumber(p, end, &next);
      if (value > 0xFF) {
        out.resize(at);
        return nullptr;
      }
      *d++ = static_cast<char>(value);
      p = next;
    }
    while (p < end && IsWineSpace(*p)) ++p;
    if (p < end && *p == ',') ++p;
    while (p < end && IsWineSpace(*p)) ++p;
  }
  out.resize(static_cast<std::size_t>(d - out.data()));
  return p;
}

}  // namespace tarnwick

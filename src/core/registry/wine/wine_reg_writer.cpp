#include "registry/wine/wine_reg_writer.h"

#include <chrono>
#include <cstdio>

#include "common/text_codec.h"

namespace tarnwick {
namespace {

constexpr uint64_t kTicksPerSecond = 10000000;
constexpr uint64_t kTicks1601To1970 = 116444736000000000;

bool IsAsciiHexDigit(char16_t unit) {
  return (unit >= '0' && unit <= '9') || (unit >= 'a' && unit <= 'f') ||
         (unit >= 'A' && unit <= 'F');
}

// The C escapes wineserver uses for control characters; '.' for none.
constexpr char kControlEscapes[33] = ".......abtnvfr.............e....";

template <typename... Args>
void AppendFormat(std::string& out, const char* format, Args... args) {
  char buffer[32];
  int n = std::snprintf(buffer, sizeof buffer, format, args...);
  out.append(buffer, static_cast<std::size_t>(n));
}

// Hex bytes separated by commas; count is the length of the line so far.
void AppendHexList(std::string& out, std::string_view data, std::size_t count) {
  for (std::size_t i = 0; i < data.size(); ++i) {
    AppendFormat(out, "%02x", static_cast<unsigned char>(data[i]));
    count += 2;
    if (i + 1 == data.size()) break;
    out += ',';
    if (++count > 76) {
      out += "\\\n  ";
      count = 2;
    }
  }
}

}  // namespace

void AppendWineEscaped(std::string& out, std::u16string_view text, std::string_view escapeSet) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t unit = text[i];
    bool nextIsHex = i + 1 < text.size() && IsAsciiHexDigit(text[i + 1]);
    if (unit > 127) {
      AppendFormat(out, nextIsHex ? "\\x%04x" : "\\x%x", static_cast<unsigned>(unit));
    } else if (unit < 32) {
      bool nextIsOctal = i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '7';
      if (kControlEscapes[unit] != '.') {
        out += '\\';
        out += kControlEscapes[unit];
      } else {
        AppendFormat(out, nextIsOctal ? "\\%03o" : "\\%o", static_cast<unsigned>(unit));
      }
    } else {
      char c = static_cast<char>(unit);
      if (c == '\\' || escapeSet.find(c) != std::string_view::npos) out += '\\';
      out += c;
    }
  }
}

std::string WineSectionHeader(std::span<const std::u16string> names, uint64_t fileTime) {
  std::string out = "[";
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) out += "\\\\";
    AppendWineEscaped(out, names[i], "[]");
  }
  AppendFormat(out, "] %u\n",
               static_cast<unsigned>((fileTime - kTicks1601To1970) / kTicksPerSecond));
  AppendFormat(out, "#time=%x%08x\n", static_cast<unsigned>(fileTime >> 32),
               static_cast<unsigned>(fileTime & 0xFFFFFFFF));
  return out;
}

std::string WineValueLine(std::u16string_view name, uint32_t type, std::string_view data) {
  std::string out;
  if (name.empty()) {
    out = "@=";
  } else {
    out = "\"";
    AppendWineEscaped(out, name, "\"");
    out += "\"=";
  }
  bool stringForm = (type == kRegSz || type == kRegExpandSz || type == kRegMultiSz) &&
                    data.size() >= 2 && data.size() % 2 == 0 && data[data.size() - 2] == 0 &&
                    data[data.size() - 1] == 0;
  if (stringForm) {
    if (type != kRegSz) AppendFormat(out, "str(%x):", static_cast<unsigned>(type));
    out += '"';
    std::u16string units = LeBytesToUtf16(data);
    units.pop_back();  // the final NUL is implied
    AppendWineEscaped(out, units, "\"");
    out += "\"\n";
    return out;
  }
  if (type == kRegDword && data.size() == 4) {
    uint32_t dword = 0;
    for (int i = 3; i >= 0; --i) dword = dword << 8 | static_cast<unsigned char>(data[i]);
    AppendFormat(out, "dword:%08x\n", static_cast<unsigned>(dword));
    return out;
  }
  if (type == kRegBinary) {
    out += "hex:";
  } else {
    AppendFormat(out, "hex(%x):", static_cast<unsigned>(type));
  }
  AppendHexList(out, data, out.size());
  out += '\n';
  return out;
}

std::string WineUserFileHeader(WineArch arch) {
  return std::string(
             "WINE REGISTRY Version 2\n;; All keys relative to "
             "\\\\User\\\\S-1-5-21-0-0-0-1000\n\n") +
         (arch == WineArch::Win32 ? "#arch=win32\n" : "#arch=win64\n");
}

uint64_t WineFileTimeNow() {
  auto since1970 = std::chrono::system_clock::now().time_since_epoch();
  auto ticks = std::chrono::duration_cast<std::chrono::duration<int64_t, std::ratio<1, 10000000>>>(
      since1970);
  return kTicks1601To1970 + static_cast<uint64_t>(ticks.count());
}

}  // namespace tarnwick

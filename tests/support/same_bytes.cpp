#include "same_bytes.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace tarnwick::test {
namespace {

constexpr std::size_t kBefore = 16;
constexpr std::size_t kWindow = 48;

// Up to kWindow bytes from `from`, printable ASCII as it is, the rest escaped.
std::string Window(std::string_view bytes, std::size_t from) {
  std::string text = "\"";
  for (std::size_t i = from; i < bytes.size() && i < from + kWindow; ++i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '\r') {
      text += "\\r";
    } else if (c == '\n') {
      text += "\\n";
    } else if (c == '"' || c == '\\') {
      text += '\\';
      text += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      text += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      text += hex;
    }
  }
  text += '"';
  if (from + kWindow < bytes.size()) text += "...";
  return text;
}

}  // namespace

testing::AssertionResult SameBytes(std::string_view expected, std::string_view actual) {
  if (expected == actual) return testing::AssertionSuccess();
  auto mismatch = std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
  const auto offset = static_cast<std::size_t>(mismatch.first - expected.begin());
  const std::size_t from = offset > kBefore ? offset - kBefore : 0;
  return testing::AssertionFailure()
         << "expected " << expected.size() << " bytes, actual " << actual.size()
         << "; they differ first at offset " << offset << ", shown from offset " << from
         << ":\n  expected " << Window(expected, from) << "\n  actual   " << Window(actual, from);
}

}  // namespace tarnwick::test

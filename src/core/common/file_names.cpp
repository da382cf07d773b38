#include "common/file_names.h"

#include "platform/system.h"

namespace tarnwick {
namespace {

// Every occurrence, left to right; replaced text is not scanned again.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string result;
  std::size_t start = 0;
  for (std::size_t pos; (pos = text.find(from, start)) != std::string_view::npos;
       start = pos + from.size()) {
    result.append(text, start, pos - start);
    result += to;
  }
  result.append(text, start);
  return result;
}

}  // namespace

std::string ValidFileName(std::string_view text) {
  // All nine are ASCII, so no byte of a UTF-8 multibyte character matches.
  std::string result(text);
  for (char& c : result) {
    if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) c = '_';
  }
  return result;
}

std::string EncodeIniKey(std::string_view text) {
  return ReplaceAll(ReplaceAll(text, "%", "%25"), "=", "%3D");
}

std::string DecodeIniKey(std::string_view text) {
  return ReplaceAll(ReplaceAll(text, "%3D", "="), "%25", "%");
}

int EffectiveRegEditVer(int setting) {
  return setting != 0 ? setting : platform::NativeRegEditVersion();
}

}  // namespace tarnwick

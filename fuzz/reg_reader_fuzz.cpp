// Feeds arbitrary bytes to the REG file reader, then checks what it built:
// steps and problems in line order, every key under a registry root, and
// string data in hex form stored with its final NUL; and that reading the
// bytes in pieces tells exactly what reading them whole tells.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "regread/reg_reader.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// Every event as text, one after the other.
class Events : public tarnwick::RegReadSink {
 public:
  std::u16string text;
  void Header(int version) override { text += u"H" + std::u16string(1, char16_t(version)); }
  void Key(std::u16string_view path, bool deletion, std::size_t line) override {
    Add(deletion ? u'-' : u'[', path, line);
  }
  void Value(std::u16string_view name, uint32_t type, std::string_view bytes,
             std::size_t line) override {
    Add(u'=', name, line);
    text += char16_t(type);
    for (char b : bytes) text += char16_t(static_cast<unsigned char>(b));
  }
  void DeleteValue(std::u16string_view name, std::size_t line) override { Add(u'x', name, line); }
  void Problem(std::size_t line, std::string problem) override {
    Add(u'!', std::u16string(problem.begin(), problem.end()), line);
  }

 private:
  void Add(char16_t kind, std::u16string_view what, std::size_t line) {
    text += kind;
    text += what;
    text += char16_t(line & 0xFFFF);
    text += u'\n';
  }
};

// Both readings end alike: the same events, or both refuse the bytes.
void CheckPieces(std::string_view bytes) {
  const std::size_t piece = bytes.empty() ? 1 : 1 + static_cast<unsigned char>(bytes[0]) % 64;
  Events whole, pieces;
  bool wholeRead = true, piecesRead = true;
  try {
    tarnwick::ReadRegText(bytes, "f", whole);
  } catch (const tarnwick::ERegReadError&) {
    wholeRead = false;
  }
  try {
    std::size_t at = 0;
    tarnwick::ReadRegStream(
        [&](char* buffer, std::size_t room) {
          std::size_t n = std::min({piece, room, bytes.size() - at});
          bytes.copy(buffer, n, at);
          at += n;
          return n;
        },
        "f", pieces);
  } catch (const tarnwick::ERegReadError&) {
    piecesRead = false;
  }
  Check(wholeRead == piecesRead);
  if (wholeRead) Check(whole.text == pieces.text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckPieces(bytes);
  tarnwick::RegImport import;
  try {
    import = tarnwick::ReadRegText(bytes, "f");
  } catch (const tarnwick::ERegReadError&) {
    return 0;
  }
  Check(import.version == 4 || import.version == 5);
  std::size_t line = 0;
  for (const tarnwick::RegImportStep& step : import.steps) {
    Check(step.line >= line && step.line >= 2 && step.line <= size + 1);
    line = step.line;
    Check(step.key.rfind("HKEY_", 0) == 0 && step.key.back() != '\\');
    Check(step.key.find("\\\\") == std::string_view::npos);
    if (step.kind == tarnwick::RegImportStep::Kind::SetValue && step.value.type == 1 &&
        !step.value.data.empty()) {
      // Ends in a NUL unit; an odd last byte after one is kept, as the
      // importer keeps it.
      const std::size_t even = step.value.data.size() & ~std::size_t{1};
      Check(even >= 2 && step.value.data[even - 1] == 0 && step.value.data[even - 2] == 0);
    }
  }
  line = 0;
  for (const tarnwick::RegReadProblem& problem : import.problems) {
    Check(problem.line >= line && problem.line >= 2 && !problem.text.empty());
    line = problem.line;
  }
  return 0;
}

// Feeds arbitrary bytes to the REG file reader, then checks what it built:
// steps and problems in line order, every key under a registry root, and
// string data in hex form stored with its final NUL.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "regread/reg_reader.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
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
      Check(step.value.data.size() % 2 == 0 && step.value.data.size() >= 2);
      Check(step.value.data.back() == 0 && step.value.data[step.value.data.size() - 2] == 0);
    }
  }
  line = 0;
  for (const tarnwick::RegReadProblem& problem : import.problems) {
    Check(problem.line >= line && problem.line >= 2 && !problem.text.empty());
    line = problem.line;
  }
  return 0;
}

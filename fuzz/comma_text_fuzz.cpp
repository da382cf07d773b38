// Splits arbitrary text as comma text and checks that joining the elements
// and splitting again gives the same elements.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "backitem/comma_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwick;
  std::vector<std::string> elements =
      SplitCommaText(std::string_view(reinterpret_cast<const char*>(data), size));
  if (SplitCommaText(JoinCommaText(elements)) != elements) std::abort();
  return 0;
}

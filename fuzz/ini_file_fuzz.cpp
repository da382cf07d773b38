// Feeds arbitrary bytes to the data file's text check and INI reader and
// reads everything back out the way loading a data file does.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "backitem/comma_text.h"
#include "backitem/data_file.h"
#include "backitem/ini_file.h"
#include "backitem/option.h"
#include "backitem/option_io.h"
#include "common/input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwick;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Cp932TextProblem(bytes);
  IniFile ini = IniFile::Parse(bytes);
  for (const auto& [key, value] : ini.ReadSectionLines("BackupItems")) {
    ItemNameFromKey(key);
    SplitCommaText(value);
  }
  TOption option;
  ReadOption(ini, "Settings", option);
  ini.WriteString("Tarnwick", "Version", "205");
  ini.EraseSection("BackupItems");
  WriteOption(ini, "Settings", option);
  IniFile::Parse(ini.Serialize());
  return 0;
}

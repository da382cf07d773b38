// Feeds arbitrary bytes to the data file's INI reader and reads everything
// back out the way loading a data file does.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "backitem/comma_text.h"
#include "backitem/ini_file.h"
#include "backitem/option.h"
#include "backitem/option_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwick;
  IniFile ini = IniFile::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  for (const std::string& key : ini.ReadSection("BackupItems")) {
    SplitCommaText(ini.ReadString("BackupItems", key, ""));
  }
  TOption option;
  ReadOption(ini, "Settings", option);
  ini.WriteString("Tarnwick", "Version", "205");
  ini.EraseSection("BackupItems");
  WriteOption(ini, "Settings", option);
  IniFile::Parse(ini.Serialize());
  return 0;
}

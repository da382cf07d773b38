// TOption: the export settings of a data file (and the defaults given to a
// data file that states none).
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

struct TOption {
  // The REG output file; relative to the data file's folder, the extension
  // optional. Empty: the data file's name with ".reg".
  std::string RegFileName;
  bool FullRestore = false;    // a deletion line before every key tree
  int32_t RegEditVer = 0;      // 0 automatic, 4 REGEDIT4, 5 version 5
  bool NewLineImport = false;  // version 5: strings with line breaks in hex form
  bool AddComment = false;     // a comment line with the item's caption
  bool Separate = false;       // one REG file per item
  int32_t SeparateName =
      0;  // per-item file name: 0 the first key's last name, else the item's name
  bool CreateBackup = false;  // keep the replaced REG file as ".bak"

  bool operator==(const TOption&) const = default;
};

}  // namespace tarnwick

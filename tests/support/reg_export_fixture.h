// Runs the REG writer over an in-memory registry into a real file and gives
// back the bytes, so tests can compare whole files.
#pragma once

#include <string>
#include <vector>

#include "common/ports.h"
#include "memory_store.h"
#include "registry/registry.h"
#include "regwrite/reg_file.h"
#include "regwrite/reg_text.h"
#include "temp_dir.h"

namespace tarnwick::test {

struct ExportRequest {
  int version = 5;
  RegTextOptions options;
  std::string itemName = "item";
  std::string itemComment;
  std::vector<std::string> keyPaths;
};

// Header, then each key path at depth 0 with its index. Returns the file
// bytes; losses, when given, receives what the run could not keep. The file
// is read back and checked first, as the export run checks it: a file that
// does not read back as written throws ERegCheckFailed.
std::string ExportToBytes(RegistryStore& store, const ExportRequest& request,
                          ExportLosses* losses = nullptr);

// What a file holding the given text looks like: CP932 for version 4, a
// byte-order mark and UTF-16LE for version 5. Lines in text end in "\n",
// which becomes CR LF.
std::string RegFileBytes(int version, const std::string& utf8Text);

}  // namespace tarnwick::test

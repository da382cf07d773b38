// tarnwick-regexport: exports key paths of a Wine prefix's registry to one REG
// file. A development tool that drives the export engine directly, through the
// same REG-file sequence as the program's export.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "common/errors.h"
#include "common/key_path.h"
#include "common/ports.h"
#include "registry/wine/wine_prefix_store.h"
#include "regwrite/reg_file.h"
#include "regwrite/reg_text.h"

namespace {

constexpr const char* kUsage =
    "usage: tarnwick-regexport [-4|-5] [-f] [-n] [-c] [-b] [-r PREFIX] -o FILE KEYPATH...\n"
    "  -4, -5     REGEDIT4 (CP932) or version 5 (UTF-16LE, the default)\n"
    "  -f         a deletion line before each key tree\n"
    "  -n         version 5: strings with line breaks in hex form\n"
    "  -c         a comment line naming each key path\n"
    "  -b         keep the replaced file as FILE.bak\n"
    "  -r PREFIX  the Wine prefix (default: $WINEPREFIX, else ~/.wine)\n"
    "  KEYPATH    HKCU\\Software\\Foo (a key and its subtree) or HKCU\\Software\\Foo|Name\n";

std::string DefaultPrefix() {
  if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix) return prefix;
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.wine";
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tarnwick;
  int version = 5;
  RegTextOptions options;
  bool backup = false;
  std::string prefix = DefaultPrefix(), output;
  int opt;
  while ((opt = getopt(argc, argv, "45fncbr:o:h")) != -1) {
    switch (opt) {
      case '4':
      case '5':
        version = opt - '0';
        break;
      case 'f':
        options.FullRestore = true;
        break;
      case 'n':
        options.NewLineImport = true;
        break;
      case 'c':
        options.AddComment = true;
        break;
      case 'b':
        backup = true;
        break;
      case 'r':
        prefix = optarg;
        break;
      case 'o':
        output = optarg;
        break;
      default:
        std::fputs(kUsage, stderr);
        return opt == 'h' ? 0 : 2;
    }
  }
  std::vector<std::string> keyPaths(argv + optind, argv + argc);
  if (output.empty() || keyPaths.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  try {
    WinePrefixStore store(prefix);
    RegOutputFile file;
    file.SetRegVersion(version);
    file.SetCreateBackup(backup);
    file.SetProtectedFiles(store.SourceFiles());
    NoProgress progress;
    RegWriter writer(store, file, progress);
    writer.Options = options;
    writer.TotalKeyCount = static_cast<int>(keyPaths.size());
    int missing = 0;
    file.WriteRegFile(output, [&] {
      for (const std::string& path : keyPaths) {
        std::string keyPath = NormalizeKeyPath(path);
        if (writer.RegWriteKey(keyPath, KeyPathLastName(keyPath), "", 0)) {
          std::fprintf(stderr, "tarnwick-regexport: not found: %s\n", path.c_str());
          ++missing;
        } else {
          file.SetRegFileWritten(true);
        }
        file.MarkComplete();
      }
    });
    if (!file.RegFileWritten()) {
      std::fprintf(stderr, "tarnwick-regexport: no key was found; %s was not written\n",
                   output.c_str());
      return 1;
    }
    std::fprintf(stderr, "tarnwick-regexport: wrote %s (%u bytes)\n", output.c_str(),
                 file.WrittenBytes());
    return missing > 0 ? 1 : 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tarnwick-regexport: %s\n", e.what());
    return 1;
  }
}

// Writes a synthetic Wine registry (user.reg with a key tree under
// HKCU\Software\Bench, plus empty system.reg and userdef.reg) into a folder.
//
//   make_wine_registry [--user-only] [--seed N] PREFIX_DIR [KEY_COUNT]

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

#include "synthetic_registry.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: make_wine_registry [--user-only] [--seed N] PREFIX_DIR [KEY_COUNT]\n"
               "  KEY_COUNT defaults to %zu\n",
               tarnwick::bench::kDefaultKeyCount);
  return 2;
}

bool ParseCount(const char* text, unsigned long long& out) {
  char* end = nullptr;
  out = std::strtoull(text, &end, 10);
  return end != text && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tarnwick::bench;
  bool userOnly = false;
  unsigned long long seed = kDefaultSeed;
  std::string dir;
  unsigned long long keys = kDefaultKeyCount;
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--user-only") {
      userOnly = true;
    } else if (arg == "--seed" && i + 1 < argc) {
      if (!ParseCount(argv[++i], seed)) return Usage();
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage();
    } else if (positional == 0) {
      dir = argv[i];
      ++positional;
    } else if (positional == 1) {
      if (!ParseCount(argv[i], keys) || keys == 0) return Usage();
      ++positional;
    } else {
      return Usage();
    }
  }
  if (dir.empty()) return Usage();

  try {
    SyntheticTree tree = WriteSyntheticPrefix(dir, keys, seed, userOnly);
    std::printf("%s/user.reg: %llu bytes (%.1f MB), %zu keys, %zu values, depth %zu\n", dir.c_str(),
                static_cast<unsigned long long>(tree.userRegBytes),
                static_cast<double>(tree.userRegBytes) / 1e6, tree.keys, tree.values,
                tree.maxDepth);
    std::printf("string values: %zu, of which Japanese: %zu\n", tree.stringValues,
                tree.japaneseStrings);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_wine_registry: %s\n", e.what());
    return 1;
  }
  return 0;
}

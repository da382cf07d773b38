// Export from a Windows installation's hives against the same keys in a
// Wine prefix: a synthetic tree of keys under HKCU\Software\Bench, written
// as user.reg and copied into a user's NTUSER.DAT, exported as version 5
// from each store in turn, round after round. Prints medians and the ratio
// of the hive export to the Wine-prefix export.
//
//   hive_export_bench [--repeat N] [--keys N]

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bench_common.h"
#include "common/key_path.h"
#include "common/ports.h"
#include "hive_builder.h"
#include "registry/hive/hive_store.h"
#include "registry/wine/wine_prefix_store.h"
#include "regwrite/reg_file.h"
#include "regwrite/reg_text.h"
#include "synthetic_registry.h"
#include "temp_dir.h"

namespace {

using tarnwick::bench::Clock;
using tarnwick::bench::ExportBenchKey;
using tarnwick::bench::FileSize;
using tarnwick::bench::kBenchKeyPath;
using tarnwick::bench::Median;
using tarnwick::bench::Seconds;

struct Times {
  std::vector<double> load, v5;
};

void PrintRow(const char* what, const Times& t, std::size_t keys) {
  std::printf("  %-20s load %8.4f s   export v5 %8.4f s (min %.4f, max %.4f)   %6.2f us/key\n",
              what, Median(t.load), Median(t.v5), *std::min_element(t.v5.begin(), t.v5.end()),
              *std::max_element(t.v5.begin(), t.v5.end()),
              Median(t.v5) / static_cast<double>(keys) * 1e6);
}

int Usage() {
  std::fprintf(stderr, "usage: hive_export_bench [--repeat N] [--keys N]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int repeat = 5;
  std::size_t keys = tarnwick::bench::kDefaultKeyCount;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--repeat" && i + 1 < argc) {
      repeat = std::atoi(argv[++i]);
    } else if (arg == "--keys" && i + 1 < argc) {
      keys = static_cast<std::size_t>(std::strtoull(argv[++i], nullptr, 10));
    } else {
      return Usage();
    }
  }
  if (repeat < 1 || keys == 0) return Usage();

  try {
    tarnwick::test::TempDir temp;
    const std::string prefix = temp.File("prefix"), windows = temp.File("windows");
    const tarnwick::bench::SyntheticTree tree = tarnwick::bench::WriteSyntheticPrefix(prefix, keys);

    auto t0 = Clock::now();
    {
      tarnwick::WinePrefixStore wine(prefix);
      auto bench = wine.OpenKey(tarnwick::kHKeyCurrentUser, "Software\\Bench", tarnwick::kKeyRead);
      if (!bench) throw std::runtime_error("the prefix holds no Software\\Bench");
      tarnwick::test::TestInstallation installation(windows);
      installation.User("S-1-5-21-1-2-3-1001", "bench").Copy(*bench, "Software\\Bench");
      installation.Write();
    }
    auto t1 = Clock::now();
    const std::string hiveFile = windows + "/Users/bench/NTUSER.DAT";
    std::printf(
        "hive_export_bench: %s, %zu keys and %zu values below it; %d runs after one warm-up\n"
        "run, medians, each store loaded anew in every run\n"
        "  user.reg %llu bytes; NTUSER.DAT %llu bytes (built with hivex in %.1f s)\n",
        kBenchKeyPath, tree.keys, tree.values, repeat,
        static_cast<unsigned long long>(tree.userRegBytes),
        static_cast<unsigned long long>(FileSize(hiveFile)), Seconds(t0, t1));

    Times wineTimes, hiveTimes;
    std::vector<double> ratios;
    const std::string wineOut = temp.File("wine.reg"), hiveOut = temp.File("hive.reg");
    for (int round = 0; round <= repeat; ++round) {
      auto a = Clock::now();
      auto wine = std::make_unique<tarnwick::WinePrefixStore>(prefix);
      auto b = Clock::now();
      ExportBenchKey(*wine, 5, wineOut);
      auto c = Clock::now();
      wine.reset();
      auto d = Clock::now();
      auto hive = std::make_unique<tarnwick::HiveStore>(windows, "");
      auto e = Clock::now();
      ExportBenchKey(*hive, 5, hiveOut);
      auto f = Clock::now();
      if (round == 0) continue;
      wineTimes.load.push_back(Seconds(a, b));
      wineTimes.v5.push_back(Seconds(b, c));
      hiveTimes.load.push_back(Seconds(d, e));
      hiveTimes.v5.push_back(Seconds(e, f));
      ratios.push_back(Seconds(e, f) / Seconds(b, c));
    }
    const bool same =
        tarnwick::test::ReadFileBytes(wineOut) == tarnwick::test::ReadFileBytes(hiveOut);
    std::printf("  output %llu bytes; the two exports are %s\n",
                static_cast<unsigned long long>(FileSize(wineOut)),
                same ? "byte for byte the same" : "DIFFERENT");
    PrintRow("Wine prefix", wineTimes, tree.keys);
    PrintRow("Windows hives", hiveTimes, tree.keys);
    std::printf(
        "  hive export / Wine-prefix export: %.2f (ratio of medians), %.2f (median of per-run "
        "ratios)\n",
        Median(hiveTimes.v5) / Median(wineTimes.v5), Median(ratios));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "hive_export_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}

// Compare against export: exports HKCU\Software\Bench of a generated prefix
// as version 5 and REGEDIT4, then reads each file back and compares it with
// the same store, as `tarnwick --compare` does. Prints medians of the runs
// and the ratio of compare to export, measured side by side.
//
//   compare_bench [--repeat N] [--keys N]

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "bench_common.h"
#include "registry/wine/wine_prefix_store.h"
#include "regread/reg_compare.h"
#include "synthetic_registry.h"

namespace {

using tarnwick::bench::Clock;
using tarnwick::bench::Median;
using tarnwick::bench::Seconds;

}  // namespace

int main(int argc, char** argv) {
  int repeat = 5;
  std::size_t keys = tarnwick::bench::kDefaultKeyCount;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string_view arg = argv[i];
    if (arg == "--repeat") {
      repeat = std::atoi(argv[i + 1]);
    } else if (arg == "--keys") {
      keys = static_cast<std::size_t>(std::atol(argv[i + 1]));
    }
  }
  try {
    const std::string dir =
        (std::filesystem::temp_directory_path() / "tarnwick-compare-bench").string();
    std::filesystem::remove_all(dir);
    tarnwick::bench::WriteSyntheticPrefix(dir + "/prefix", keys);
    tarnwick::WinePrefixStore store(dir + "/prefix");
    std::printf("compare_bench: %zu keys below %s, %d runs after a warm-up, medians\n", keys,
                tarnwick::bench::kBenchKeyPath, repeat);
    std::printf("  %-8s %10s %10s %10s %8s %s\n", "version", "file MB", "export s", "compare s",
                "ratio", "changes");
    for (int version : {5, 4}) {
      const std::string file = dir + "/bench.reg";
      std::vector<double> exports, compares, ratios;
      std::uint64_t bytes = 0;
      std::size_t changes = 0;
      for (int run = 0; run <= repeat; ++run) {
        auto t0 = Clock::now();
        bytes = tarnwick::bench::ExportBenchKey(store, version, file);
        auto t1 = Clock::now();
        tarnwick::RegComparison comparison = tarnwick::CompareRegFile(file, store);
        auto t2 = Clock::now();
        changes = comparison.counts.Total();
        if (run == 0) continue;
        exports.push_back(Seconds(t0, t1));
        compares.push_back(Seconds(t1, t2));
        ratios.push_back(Seconds(t1, t2) / Seconds(t0, t1));
      }
      std::printf("  %-8d %10.1f %10.3f %10.3f %8.2f %zu\n", version,
                  static_cast<double>(bytes) / 1e6, Median(exports), Median(compares),
                  Median(ratios), changes);
    }
    std::filesystem::remove_all(dir);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "compare_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}

// Export throughput: loads a Wine prefix holding a synthetic key tree and
// exports HKCU\Software\Bench as version 5 and as REGEDIT4, next to a plain
// write() loop of the same size as the raw I/O limit, and each export again
// as the program makes it: recording what it writes, then reading the file
// back and checking it. Prints medians.
//
//   export_bench [--repeat N] [--keys N,N,...] [--prefix DIR] [--keep-output DIR]
//
// --prefix measures an existing prefix folder instead of generated ones.

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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
#include "registry/registry.h"
#include "registry/wine/wine_prefix_store.h"
#include "regwrite/reg_check.h"
#include "regwrite/reg_file.h"
#include "regwrite/reg_text.h"
#include "synthetic_registry.h"

namespace {

using tarnwick::bench::Clock;
using tarnwick::bench::ExportBenchKey;
using tarnwick::bench::FileSize;
using tarnwick::bench::kBenchKeyPath;
using tarnwick::bench::Median;
using tarnwick::bench::Seconds;

constexpr int kDefaultRepeat = 5;
constexpr double kMB = 1e6;

std::string Grouped(std::uint64_t n) {
  std::string digits = std::to_string(n), out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

// A folder under $TMPDIR (or /tmp), removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tarnwick-bench-XXXXXX";
    if (!mkdtemp(pattern.data()))
      throw std::runtime_error("mkdtemp: " + std::string(strerror(errno)));
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// The raw I/O limit: the same number of bytes in 1 KiB write() calls, as
// dd bs=1k writes them.
void WriteChunks(const std::string& path, std::uint64_t bytes) {
  static const std::string chunk(1024, 'x');
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw std::runtime_error(path + ": " + strerror(errno));
  while (bytes > 0) {
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(bytes, chunk.size()));
    ssize_t done = write(fd, chunk.data(), n);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      close(fd);
      throw std::runtime_error(path + ": write failed");
    }
    bytes -= static_cast<std::uint64_t>(done);
  }
  close(fd);
}

// The child's side of TimeLoad: prints the seconds the store's constructor
// takes for dir.
int TimeLoadMain(const char* dir) {
  auto t0 = Clock::now();
  tarnwick::WinePrefixStore store(dir);
  auto t1 = Clock::now();
  std::printf("%.9f\n", Seconds(t0, t1));
  return 0;
}

// Times the load in a new process of this program, so that every load starts
// on a fresh heap, as at program start. In this process the heap holds the
// freed blocks of the trees measured before, and a small tree built in the
// holes of a large one loads up to twice as slowly per key.
double TimeLoad(const std::string& dir) {
  static const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe: " + std::string(strerror(errno)));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  std::string program = self, flag = "--time-load", folder = dir;
  char* args[] = {program.data(), flag.data(), folder.data(), nullptr};
  pid_t pid = 0;
  int rc = posix_spawn(&pid, self.c_str(), &actions, nullptr, args, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  std::string out;
  if (rc == 0) {
    char buffer[64];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
      out.append(buffer, static_cast<std::size_t>(n));
  }
  close(fds[0]);
  int status = 0;
  if (rc == 0) waitpid(pid, &status, 0);
  if (rc != 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || out.empty()) {
    throw std::runtime_error("loading " + dir + " failed in a child process");
  }
  return std::strtod(out.c_str(), nullptr);
}

struct TreeCount {
  std::size_t keys = 0;
  std::size_t values = 0;
};

void CountTree(tarnwick::RegistryStore& store, const std::string& path, TreeCount& count) {
  auto key = store.OpenKey(tarnwick::kHKeyCurrentUser, path, tarnwick::kKeyRead);
  if (!key) return;
  ++count.keys;
  std::vector<std::string> names;
  key->ValueNames(names);
  count.values += names.size();
  names.clear();  // the key appends to the list it is given
  key->SubKeyNames(names);
  for (const std::string& name : names) CountTree(store, path + "\\" + name, count);
}

struct Measurement {
  std::string label;
  std::string prefixDir;
  std::size_t keys = 0;  // below the bench key; 0 when unknown
  std::size_t values = 0;
  std::uint64_t inputBytes = 0;
  std::uint64_t v5Bytes = 0;
  std::uint64_t v4Bytes = 0;
  std::vector<double> load, v5, v4, raw;
  // Pairs: the plain export, the export that records what it writes, and the
  // check that reads it back.
  std::vector<double> v5Pair, v5Recorded, v5Check, v4Pair, v4Recorded, v4Check;
};

Measurement Prepare(const std::string& prefixDir) {
  Measurement m;
  m.prefixDir = prefixDir;
  for (const char* name : {"system.reg", "user.reg", "userdef.reg"}) {
    m.inputBytes += FileSize(prefixDir + "/" + name);
  }
  return m;
}

// One round on one prefix: load, export v5, export v4, then the write() loop,
// back to back, so that their ratios come from the same moment.
void MeasureRound(Measurement& m, const std::string& outDir, bool count, bool keepOutput) {
  const std::string v5Path = outDir + "/export-v5.reg";
  const std::string v4Path = outDir + "/export-v4.reg";
  const std::string rawPath = outDir + "/chunks.bin";
  for (const std::string* p : {&v5Path, &v4Path, &rawPath}) unlink(p->c_str());

  const double load = TimeLoad(m.prefixDir);
  auto store = std::make_unique<tarnwick::WinePrefixStore>(m.prefixDir);
  auto t1 = Clock::now();
  m.v5Bytes = ExportBenchKey(*store, 5, v5Path);
  auto t2 = Clock::now();
  m.v4Bytes = ExportBenchKey(*store, 4, v4Path);
  auto t3 = Clock::now();
  WriteChunks(rawPath, m.v5Bytes);
  auto t4 = Clock::now();
  // Deleted at once, their dirty pages are dropped instead of being written
  // back to disk while the next measurement runs.
  if (!keepOutput) {
    for (const std::string* p : {&v5Path, &v4Path, &rawPath}) unlink(p->c_str());
  }

  // Each version again as a pair: the plain export, then the export that
  // records what it writes and the check that reads the file back, each
  // into a new file.
  double plain[2], recorded[2], check[2];
  for (int version : {5, 4}) {
    const std::string path = outDir + "/checked-v" + std::to_string(version) + ".reg";
    const int i = version == 5 ? 0 : 1;
    unlink(path.c_str());
    auto a = Clock::now();
    ExportBenchKey(*store, version, path);
    auto b = Clock::now();
    unlink(path.c_str());
    tarnwick::WrittenRecord record;
    auto c = Clock::now();
    ExportBenchKey(*store, version, path, &record);
    auto d = Clock::now();
    tarnwick::bench::CheckBenchExport(path, version, record);
    auto e = Clock::now();
    if (!keepOutput) unlink(path.c_str());
    plain[i] = Seconds(a, b);
    recorded[i] = Seconds(c, d);
    check[i] = Seconds(d, e);
  }

  if (!count) {
    TreeCount tree;
    CountTree(*store, "Software\\Bench", tree);
    m.keys = tree.keys > 0 ? tree.keys - 1 : 0;  // the bench key itself is not counted
    m.values = tree.values;
    return;
  }
  m.load.push_back(load);
  m.v5.push_back(Seconds(t1, t2));
  m.v4.push_back(Seconds(t2, t3));
  m.raw.push_back(Seconds(t3, t4));
  m.v5Pair.push_back(plain[0]);
  m.v5Recorded.push_back(recorded[0]);
  m.v5Check.push_back(check[0]);
  m.v4Pair.push_back(plain[1]);
  m.v4Recorded.push_back(recorded[1]);
  m.v4Check.push_back(check[1]);
}

// Round 0 warms the caches and is not counted. Every round visits all
// prefixes, so that the per-key ratios between them are measured side by side.
void MeasureAll(std::vector<Measurement>& ms, const std::string& outDir, int repeat,
                bool keepOutput) {
  for (int round = 0; round <= repeat; ++round) {
    for (Measurement& m : ms) MeasureRound(m, outDir, round > 0, keepOutput);
  }
}

void PrintRow(const char* what, const std::vector<double>& times, std::uint64_t outBytes,
              std::uint64_t inBytes, std::size_t keys) {
  double med = Median(times);
  double lo = *std::min_element(times.begin(), times.end());
  double hi = *std::max_element(times.begin(), times.end());
  std::printf("  %-22s %9.4f %9.4f %9.4f", what, med, lo, hi);
  if (outBytes) {
    std::printf(" %9.1f", static_cast<double>(outBytes) / kMB / med);
  } else {
    std::printf(" %9s", "-");
  }
  if (inBytes) {
    std::printf(" %9.1f", static_cast<double>(inBytes) / kMB / med);
  } else {
    std::printf(" %9s", "-");
  }
  if (keys) {
    std::printf(" %8.2f", med / static_cast<double>(keys) * 1e6);
  } else {
    std::printf(" %8s", "-");
  }
  std::printf("\n");
}

void Print(const Measurement& m) {
  std::printf("\n%s\n  %s keys, %s values below %s; registry files %s bytes (%.1f MB)\n",
              m.label.c_str(), Grouped(m.keys).c_str(), Grouped(m.values).c_str(), kBenchKeyPath,
              Grouped(m.inputBytes).c_str(), static_cast<double>(m.inputBytes) / kMB);
  std::printf("  output: v5 %s bytes (%.1f MB), v4 %s bytes (%.1f MB)\n",
              Grouped(m.v5Bytes).c_str(), static_cast<double>(m.v5Bytes) / kMB,
              Grouped(m.v4Bytes).c_str(), static_cast<double>(m.v4Bytes) / kMB);
  std::printf("  %-22s %9s %9s %9s %9s %9s %8s\n", "", "median s", "min s", "max s", "out MB/s",
              "in MB/s", "us/key");
  PrintRow("load (new process)", m.load, 0, m.inputBytes, m.keys);
  PrintRow("export v5 (UTF-16LE)", m.v5, m.v5Bytes, m.inputBytes, m.keys);
  PrintRow("export v4 (CP932)", m.v4, m.v4Bytes, m.inputBytes, m.keys);
  PrintRow("1 KiB write()s", m.raw, m.v5Bytes, 0, 0);
  PrintRow("pair: v5 export", m.v5Pair, m.v5Bytes, m.inputBytes, m.keys);
  PrintRow("  v5 export, recording", m.v5Recorded, m.v5Bytes, m.inputBytes, m.keys);
  PrintRow("  v5 read back, check", m.v5Check, m.v5Bytes, 0, m.keys);
  PrintRow("pair: v4 export", m.v4Pair, m.v4Bytes, m.inputBytes, m.keys);
  PrintRow("  v4 export, recording", m.v4Recorded, m.v4Bytes, m.inputBytes, m.keys);
  PrintRow("  v4 read back, check", m.v4Check, m.v4Bytes, 0, m.keys);
  // What checking adds to an export: the recording export and the check,
  // over the plain export of the same round.
  auto added = [](const std::vector<double>& plain, const std::vector<double>& recorded,
                  const std::vector<double>& check) {
    std::vector<double> r;
    for (std::size_t i = 0; i < plain.size(); ++i)
      r.push_back((recorded[i] + check[i]) / plain[i] - 1);
    return 100 * Median(r);
  };
  std::printf("  checking adds to the export: v5 %.1f%%, v4 %.1f%% (median of per-round ratios)\n",
              added(m.v5Pair, m.v5Recorded, m.v5Check), added(m.v4Pair, m.v4Recorded, m.v4Check));

  std::vector<double> ratios;
  for (std::size_t i = 0; i < m.v5.size(); ++i) ratios.push_back(m.raw[i] / m.v5[i]);
  std::printf("  export v5 MB/s / 1 KiB write() MB/s: %.3f (median of per-run ratios %.3f)\n",
              Median(m.raw) / Median(m.v5), Median(ratios));
  std::printf("  load + export v5: %.4f s median\n", Median(m.load) + Median(m.v5));
}

// Time per key of the larger tree over that of the smaller: the ratio of the
// medians and the median of the ratios of each round.
void PrintLinearity(const Measurement& small, const Measurement& large) {
  if (small.keys == 0 || large.keys == 0) return;
  const double scale = static_cast<double>(small.keys) / static_cast<double>(large.keys);
  auto ratios = [&](const std::vector<double>& s, const std::vector<double>& l) {
    std::vector<double> r;
    for (std::size_t i = 0; i < s.size() && i < l.size(); ++i) r.push_back(l[i] / s[i] * scale);
    std::printf(" %.2f (%.2f)", Median(l) / Median(s) * scale, Median(r));
  };
  std::printf(
      "\nlinearity: time per key at %s keys / at %s keys, 1.00 = linear;\n"
      "ratio of medians (median of per-round ratios)\n ",
      Grouped(large.keys).c_str(), Grouped(small.keys).c_str());
  std::printf(" load");
  ratios(small.load, large.load);
  std::printf("   export v5");
  ratios(small.v5, large.v5);
  std::printf("   export v4");
  ratios(small.v4, large.v4);
  std::printf("\n");
}

int Usage() {
  std::fprintf(stderr,
               "usage: export_bench [--repeat N] [--keys N,N,...] [--prefix DIR] "
               "[--keep-output DIR]\n");
  return 2;
}

bool ParseKeys(std::string_view text, std::vector<std::size_t>& keys) {
  keys.clear();
  while (!text.empty()) {
    std::size_t comma = text.find(',');
    std::string item(text.substr(0, comma));
    char* end = nullptr;
    unsigned long long n = std::strtoull(item.c_str(), &end, 10);
    if (item.empty() || *end != '\0' || n == 0) return false;
    keys.push_back(static_cast<std::size_t>(n));
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
  }
  return !keys.empty();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string_view(argv[1]) == "--time-load") {
    try {
      return TimeLoadMain(argv[2]);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "export_bench: %s\n", e.what());
      return 1;
    }
  }
  int repeat = kDefaultRepeat;
  std::vector<std::size_t> keyCounts = {10000, tarnwick::bench::kDefaultKeyCount};
  std::string prefix, keepDir;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == "--repeat" && hasValue) {
      repeat = std::atoi(argv[++i]);
      if (repeat < 1) return Usage();
    } else if (arg == "--keys" && hasValue) {
      if (!ParseKeys(argv[++i], keyCounts)) return Usage();
    } else if (arg == "--prefix" && hasValue) {
      prefix = argv[++i];
    } else if (arg == "--keep-output" && hasValue) {
      keepDir = argv[++i];
    } else {
      return Usage();
    }
  }

  try {
    TempFolder temp;
    const std::string outDir = keepDir.empty() ? temp.Path() + "/out" : keepDir;
    std::filesystem::create_directories(outDir);
    std::printf(
        "export_bench: %s from Wine registry files; %d runs after one warm-up run,\n"
        "medians; MB = 1,000,000 bytes; temp folder %s (removed at the end)\n",
        kBenchKeyPath, repeat, temp.Path().c_str());

    std::vector<Measurement> results;
    if (!prefix.empty()) {
      results.push_back(Prepare(prefix));
      results.back().label = prefix;
    }
    std::vector<tarnwick::bench::SyntheticTree> trees;
    for (std::size_t keys : prefix.empty() ? keyCounts : std::vector<std::size_t>()) {
      const std::string dir = temp.Path() + "/prefix-" + std::to_string(keys);
      trees.push_back(tarnwick::bench::WriteSyntheticPrefix(dir, keys));
      const tarnwick::bench::SyntheticTree& tree = trees.back();
      char label[160];
      std::snprintf(label, sizeof label,
                    "generated tree (user.reg %s bytes, depth %zu, %zu of %zu string values "
                    "Japanese)",
                    Grouped(tree.userRegBytes).c_str(), tree.maxDepth, tree.japaneseStrings,
                    tree.stringValues);
      results.push_back(Prepare(dir));
      results.back().label = label;
    }

    MeasureAll(results, outDir, repeat, !keepDir.empty());

    for (std::size_t i = 0; i < results.size(); ++i) {
      const Measurement& m = results[i];
      if (i < trees.size() && (m.keys != trees[i].keys || m.values != trees[i].values)) {
        std::printf(
            "\nWARNING: the store holds %zu keys and %zu values; %zu and %zu were written\n",
            m.keys, m.values, trees[i].keys, trees[i].values);
      }
      Print(m);
    }
    if (results.size() >= 2) PrintLinearity(results.front(), results.back());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "export_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}

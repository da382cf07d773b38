// Times loading a data file with many items, as start-up loads it: data
// files of 10,000, 30,000 and 100,000 items, once with ASCII names and once
// with names of Japanese and ASCII, each a different name.
//   data_file_bench [--repeat N] [--items N,N,...] [--names ascii|mixed|both]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "backitem/back_item.h"
#include "backitem/data_file.h"
#include "backitem/program_state.h"
#include "bench_common.h"
#include "common/ports.h"
#include "common/text_codec.h"
#include "platform/files.h"

namespace {

using namespace tarnwick;

class Quiet : public PromptPort {
 public:
  void ShowMessage(const std::string&, const std::string&, PromptIcon) override {}
  PromptAnswer AskRetryCancel(const std::string&, const std::string&) override {
    return PromptAnswer::Cancel;
  }
  PromptAnswer AskYesNo(const std::string&, const std::string&, PromptIcon) override {
    return PromptAnswer::No;
  }
};

// Japanese words put together with a number, so that every name differs and
// the collator has real work: "設定Item00042ツール".
const char* const kWords[] = {"設定", "ツール", "エディター", "表示",
                              "ｶﾅ",   "履歴",   "フォント",   "全角"};

std::string ItemName(int i, bool mixed) {
  char number[32];
  std::snprintf(number, sizeof number, "Item%05d", i);
  if (!mixed) return number;
  return std::string(kWords[i % 8]) + number + kWords[(i / 8) % 8];
}

std::string DataFileText(int count, bool mixed) {
  std::string text = "[Tarnwick]\r\nVersion=205\r\n\r\n[BackupItems]\r\n";
  for (int i = 0; i < count; ++i) {
    text += ItemName(i, mixed) + "=HKCU\\Software\\Bench\\G" + std::to_string(i / 1000) + "\\Item" +
            std::to_string(i) + ",,0\r\n";
  }
  return Utf8ToCp932(text + "\r\n[Settings]\r\nRegEditVer=5\r\n\r\n");
}

// Milliseconds to load the file into an empty list.
double LoadMs(const std::string& path, int expected) {
  ProgramState state;
  state.ExeFileName = path + ".exe";
  state.DataFileName = path;
  TBackItems items;
  Quiet prompts;
  DataFileContext context{state, items, prompts, nullptr};
  auto start = bench::Clock::now();
  LoadDataFile(context);
  double ms = bench::Seconds(start, bench::Clock::now()) * 1000;
  if (items.Count() != expected) {
    std::fprintf(stderr, "loaded %d items of %d\n", items.Count(), expected);
    std::exit(1);
  }
  return ms;
}

std::vector<int> Counts(const char* list) {
  std::vector<int> counts;
  for (const char* p = list; *p;) {
    char* end = nullptr;
    counts.push_back(static_cast<int>(std::strtol(p, &end, 10)));
    p = *end == ',' ? end + 1 : end;
  }
  return counts;
}

}  // namespace

int main(int argc, char** argv) {
  int repeat = 5;
  std::vector<int> counts{10000, 30000, 100000};
  std::string names = "both";
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    if (option == "--repeat") {
      repeat = std::atoi(argv[i + 1]);
    } else if (option == "--items") {
      counts = Counts(argv[i + 1]);
    } else if (option == "--names") {
      names = argv[i + 1];
    } else {
      std::fprintf(stderr, "unknown option %s\n", argv[i]);
      return 2;
    }
  }
  std::vector<bool> kinds;
  if (names != "mixed") kinds.push_back(false);
  if (names != "ascii") kinds.push_back(true);

  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("data_file_bench." + std::to_string(getpid()));
  fs::create_directories(dir);
  std::printf("%-6s %8s %12s\n", "names", "items", "median ms");
  for (bool mixed : kinds) {
    for (int count : counts) {
      const std::string path = (dir / "bench.dat").string();
      if (int error = platform::ReplaceFileContents(path, DataFileText(count, mixed)); error != 0) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
      }
      std::vector<double> times;
      for (int r = 0; r < repeat; ++r) times.push_back(LoadMs(path, count));
      std::printf("%-6s %8d %12.1f\n", mixed ? "mixed" : "ascii", count, bench::Median(times));
      std::fflush(stdout);
    }
  }
  fs::remove_all(dir);
  return 0;
}

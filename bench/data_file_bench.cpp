// Times loading a data file with many items, as start-up loads it, and
// saving it again: data files of 10,000, 30,000 and 100,000 items, once with
// ASCII names and once with names of Japanese and ASCII, each a different
// name.
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

struct Times {
  double load = 0, save = 0;  // milliseconds
};

// Loads the file into an empty list, then saves the list (marked modified)
// over it, as after an edit.
Times LoadAndSave(const std::string& path, int expected) {
  ProgramState state;
  state.ExeFileName = path + ".exe";
  state.DataFileName = path;
  TBackItems items;
  Quiet prompts;
  DataFileContext context{state, items, prompts, nullptr};
  Times times;
  auto start = bench::Clock::now();
  LoadDataFile(context);
  times.load = bench::Seconds(start, bench::Clock::now()) * 1000;
  if (items.Count() != expected) {
    std::fprintf(stderr, "loaded %d items of %d\n", items.Count(), expected);
    std::exit(1);
  }
  state.DataModified = true;
  start = bench::Clock::now();
  if (!SaveDataFile(context)) {
    std::fprintf(stderr, "cannot save %s\n", path.c_str());
    std::exit(1);
  }
  times.save = bench::Seconds(start, bench::Clock::now()) * 1000;
  return times;
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
  std::printf("%-6s %8s %14s %14s\n", "names", "items", "load median ms", "save median ms");
  for (bool mixed : kinds) {
    for (int count : counts) {
      const std::string path = (dir / "bench.dat").string();
      const std::string text = DataFileText(count, mixed);
      std::vector<double> loads, saves;
      for (int r = 0; r < repeat; ++r) {
        if (platform::ReplaceFileContents(path, text) != 0) {
          std::fprintf(stderr, "cannot write %s\n", path.c_str());
          return 1;
        }
        Times times = LoadAndSave(path, count);
        loads.push_back(times.load);
        saves.push_back(times.save);
      }
      std::printf("%-6s %8d %14.1f %14.1f\n", mixed ? "mixed" : "ascii", count,
                  bench::Median(loads), bench::Median(saves));
      std::fflush(stdout);
    }
  }
  fs::remove_all(dir);
  return 0;
}

// Times rebuilding the main window's item list: 10,000 items into BackList,
// as every add, delete, sort and load does. Run with QT_QPA_PLATFORM=offscreen.
//   list_view_bench [ITEMS=10000] [ROUNDS=7]
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "backitem/startup.h"
#include "common/ports.h"
#include "ui/file_dialogs.h"
#include "ui/help.h"
#include "ui/main_form.h"

namespace {

class Silent : public tarnwick::PromptPort {
 public:
  void ShowMessage(const std::string&, const std::string&, tarnwick::PromptIcon) override {}
  tarnwick::PromptAnswer AskRetryCancel(const std::string&, const std::string&) override {
    return tarnwick::PromptAnswer::Cancel;
  }
  tarnwick::PromptAnswer AskYesNo(const std::string&, const std::string&,
                                  tarnwick::PromptIcon) override {
    return tarnwick::PromptAnswer::No;
  }
};

}  // namespace

int main(int argc, char** argv) {
  using namespace tarnwick;
  QApplication app(argc, argv);
  int count = argc > 1 ? std::atoi(argv[1]) : 10000;
  int rounds = argc > 2 ? std::atoi(argv[2]) : 7;
  Session session;
  for (int i = 0; i < count; ++i) {
    std::vector<std::string> keys{"HKCU\\Software\\Bench\\Item" + std::to_string(i),
                                  "HKLM\\Software\\Bench\\Item" + std::to_string(i)};
    session.items.Add("アイテム" + std::to_string(i), &keys, "コメント", i % 7 == 0);
  }
  Silent prompts;
  ui::QtFileDialogs files;
  NoProgress progress;
  ui::DesktopHelp help("");
  ui::TMainForm form(session, prompts, files, progress, help);
  form.show();
  std::vector<double> times;
  for (int r = 0; r < rounds; ++r) {
    auto start = std::chrono::steady_clock::now();
    session.items.UpdateListView(form);
    QApplication::processEvents();  // the repaint belongs to the rebuild
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  std::sort(times.begin(), times.end());
  std::printf("BackList rebuild, %d items, %d rounds: median %.1f ms, fastest %.1f, slowest %.1f\n",
              count, rounds, times[times.size() / 2], times.front(), times.back());
  return 0;
}

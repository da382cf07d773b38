// Times the property dialog's registry reads on a Wine prefix: expanding a
// key with 10,000 subkeys in the tree (reading included), and opening the
// value list of a key with 1,000 values. Run with QT_QPA_PLATFORM=offscreen.
//   property_bench [ROUNDS=7]
#include <QApplication>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "backitem/back_item.h"
#include "backitem/program_state.h"
#include "common/ports.h"
#include "registry/wine/wine_prefix_store.h"
#include "ui/entry_list_form.h"
#include "ui/property_form.h"

namespace {

using namespace tarnwick;

class Quiet : public PromptPort, public HelpPort, public BackListView {
 public:
  void ShowMessage(const std::string&, const std::string&, PromptIcon) override {}
  PromptAnswer AskRetryCancel(const std::string&, const std::string&) override {
    return PromptAnswer::Cancel;
  }
  PromptAnswer AskYesNo(const std::string&, const std::string&, PromptIcon) override {
    return PromptAnswer::No;
  }
  void ShowHelp(int) override {}
  int RowCount() const override { return 0; }
  std::string FocusedCaption() const override { return ""; }
  int TopIndex() const override { return 0; }
  int HorizontalOffset() const override { return 0; }
  void Rebuild(const BackListUpdate&) override {}
};

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

double TimeMs(const std::function<void()>& work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int rounds = argc > 1 ? std::atoi(argv[1]) : 7;
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "tarnwick-property-bench";
  std::filesystem::create_directories(dir);
  {
    std::ofstream user(dir / "user.reg", std::ios::binary);
    user << "WINE REGISTRY Version 2\n#arch=win64\n\n";
    for (int i = 0; i < 10000; ++i) {
      user << "[Software\\\\Many\\\\Key" << i << "] 1\n";
      if (i % 3 == 0) user << "[Software\\\\Many\\\\Key" << i << "\\\\Sub] 1\n";
    }
    user << "[Software\\\\Values] 1\n";
    for (int i = 0; i < 1000; ++i)
      user << "\"Value" << i << "\"=dword:" << std::hex << i << std::dec << "\n";
  }
  WinePrefixStore store(dir.string());
  ProgramState state;
  TBackItems items;
  std::vector<std::string> keys{"HKCU\\Software\\Values"};
  items.Add("bench", &keys, "", false);
  Quiet quiet;

  std::vector<double> expand, values;
  for (int r = 0; r < rounds; ++r) {
    ui::TPropertyForm form(state, items, store, {0}, quiet, quiet, quiet);
    auto* tree = form.findChild<QTreeWidget*>("RegTree");
    QTreeWidgetItem* hkcu = tree->topLevelItem(1);
    hkcu->setExpanded(true);
    QTreeWidgetItem* software = nullptr;
    for (int i = 0; i < hkcu->childCount(); ++i) {
      if (hkcu->child(i)->text(0) == "Software") software = hkcu->child(i);
    }
    software->setExpanded(true);
    QTreeWidgetItem* many = nullptr;
    for (int i = 0; i < software->childCount(); ++i) {
      if (software->child(i)->text(0) == "Many") many = software->child(i);
    }
    expand.push_back(TimeMs([&] { many->setExpanded(true); }));
    values.push_back(TimeMs([&] {
      ui::TEntryListForm list(store, state, "HKCU\\Software\\Values", [](const std::string&) {});
    }));
  }
  std::filesystem::remove_all(dir);
  std::printf("expand a key with 10,000 subkeys: median %.1f ms (target < 150)\n", Median(expand));
  std::printf("value list of a key with 1,000 values: median %.1f ms (target < 50)\n",
              Median(values));
  return 0;
}

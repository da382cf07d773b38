#include "ui/entry_list_form.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include "backitem/program_state.h"
#include "common/collation.h"
#include "common/key_path.h"
#include "common/text_codec.h"
#include "registry/registry.h"

namespace tarnwick::ui {
namespace {

constexpr std::size_t kShownBytes = 32;

struct Row {
  std::string name, type, data;
};

}  // namespace

std::string ValueTypeText(uint32_t type) {
  switch (type) {
    case kRegSz:
      return "文字列値";
    case kRegExpandSz:
      return "展開可能な文字列値";
    case kRegDword:
      return "DWORD値";
    case kRegBinary:
      return "バイナリ値";
    default:
      return "その他";
  }
}

std::string ValueDataText(uint32_t type, const std::string& data) {
  if (type == kRegSz || type == kRegExpandSz) {
    return Utf16ToUtf8(WideTextUpToNul(data));
  }
  if (type == kRegDword) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < data.size() && i < 4; ++i) {
      value |= static_cast<uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
    }
    char text[32];
    std::snprintf(text, sizeof text, "$%.8X (%u)", value, value);
    return text;
  }
  std::string text;
  for (std::size_t i = 0; i < data.size() && i < kShownBytes; ++i) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%.2X ", static_cast<unsigned char>(data[i]));
    text += pair;
  }
  if (data.size() > kShownBytes) text += "...";
  return text;
}

TEntryListForm::TEntryListForm(RegistryStore& store, ProgramState& state,
                               const std::string& keyPath,
                               std::function<void(const std::string&)> pick, QWidget* parent)
    : QWidget(parent, Qt::Popup),  // a click elsewhere closes it
      state_(state),
      pick_(std::move(pick)),
      EntryList(new QTreeWidget(this)) {
  setObjectName("EntryListForm");
  setWindowTitle("エントリ一覧");
  setAttribute(Qt::WA_DeleteOnClose);
  EntryList->setObjectName("EntryList");
  EntryList->setHeaderLabels({"名前", "種類", "データ"});
  EntryList->setRootIsDecorated(false);
  EntryList->setSelectionMode(QAbstractItemView::SingleSelection);
  EntryList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  EntryList->header()->setSectionsClickable(false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(EntryList);
  resize(408, 158);
  int widths[3] = {120, 80, 170};
  if (state.EntryListWidth > 0) {
    resize(state.EntryListWidth, state.EntryListHeight);
    widths[0] = state.EntryList0;
    widths[1] = state.EntryList1;
    widths[2] = state.EntryList2;
  }
  for (int k = 0; k < 3; ++k) EntryList->setColumnWidth(k, widths[k]);
  ListValues(store, keyPath);
  connect(EntryList, &QTreeWidget::itemDoubleClicked, this, &TEntryListForm::EntryListDblClick);
  EntryList->installEventFilter(this);  // the window sees the keys first
}

bool TEntryListForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == EntryList && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
        key->key() == Qt::Key_Escape) {
      keyPressEvent(key);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TEntryListForm::ListValues(RegistryStore& store, const std::string& keyPath) {
  KeyPathParts path = ParseKeyPath(keyPath);
  TRegistry registry(store);
  registry.SetRootKey(path.root.RootKey);
  registry.OpenKeyReadOnly(path.subPath);  // a key that does not open has no values
  std::vector<std::string> names;
  registry.GetValueNames(names);
  std::vector<Row> rows;
  for (const std::string& name : names) {
    RegValue value;
    uint32_t size = 0;
    if (!registry.QueryValueInfo(name, TextForm::Wide, value.type, size)) continue;
    registry.QueryValue(name, TextForm::Wide, size, value);
    rows.push_back({name, ValueTypeText(value.type), ValueDataText(value.type, value.data)});
  }
  // Sorted by name as the locale sorts, case-sensitively; the default value
  // (the empty name) first, shown as "(既定)".
  std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
    return CompareTextLocale(a.name, b.name) < 0;
  });
  auto unnamed =
      std::find_if(rows.begin(), rows.end(), [](const Row& r) { return r.name.empty(); });
  if (unnamed != rows.end()) {
    std::rotate(rows.begin(), unnamed, unnamed + 1);
    rows.front().name = "(既定)";
    HasDefaultValue = true;
  }
  for (const Row& row : rows) {
    new QTreeWidgetItem(EntryList,
                        {QString::fromStdString(row.name), QString::fromStdString(row.type),
                         QString::fromStdString(row.data)});
  }
  if (!rows.empty()) EntryList->setCurrentItem(EntryList->topLevelItem(0));
}

void TEntryListForm::EntryListDblClick() {
  if (QTreeWidgetItem* row = EntryList->currentItem()) {
    bool isDefault = HasDefaultValue && EntryList->indexOfTopLevelItem(row) == 0;
    pick_(isDefault ? std::string() : row->text(0).toStdString());
  }
  close();
}

void TEntryListForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    EntryListDblClick();
  } else if (event->key() == Qt::Key_Escape) {
    close();
  } else {
    QWidget::keyPressEvent(event);
  }
}

void TEntryListForm::closeEvent(QCloseEvent* event) {
  state_.EntryListWidth = width();
  state_.EntryListHeight = height();
  state_.EntryList0 = EntryList->columnWidth(0);
  state_.EntryList1 = EntryList->columnWidth(1);
  state_.EntryList2 = EntryList->columnWidth(2);
  event->accept();
}

}  // namespace tarnwick::ui

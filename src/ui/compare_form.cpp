#include "ui/compare_form.h"

#include <QBrush>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "common/path_utils.h"
#include "common/text_codec.h"

namespace tarnwick::ui {
namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

enum Column { kName, kChange, kFileValue, kNowValue, kColumns };

enum class Mark { Added, Changed, Deleted };

QColor MarkColor(Mark mark) {
  switch (mark) {
    case Mark::Added:
      return QColor(0x1a, 0x7f, 0x37);
    case Mark::Changed:
      return QColor(0xa0, 0x5a, 0x00);
    case Mark::Deleted:
      return QColor(0xc0, 0x1c, 0x28);
  }
  return {};
}

// A coloured square with "+", "~" or "-": the mark is told by its shape as
// well as its colour.
QIcon MarkIcon(Mark mark) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(MarkColor(mark));
  painter.setPen(Qt::NoPen);
  painter.drawRoundedRect(QRectF(1, 1, 14, 14), 3, 3);
  painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
  painter.setBrush(Qt::NoBrush);
  switch (mark) {
    case Mark::Added:
      painter.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
      painter.drawLine(QPointF(8, 4.5), QPointF(8, 11.5));
      break;
    case Mark::Deleted:
      painter.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
      break;
    case Mark::Changed: {
      QPainterPath wave(QPointF(4, 9));
      wave.cubicTo(QPointF(6, 5), QPointF(10, 11), QPointF(12, 7));
      painter.drawPath(wave);
      break;
    }
  }
  return QIcon(pixmap);
}

void SetMark(QTreeWidgetItem* row, Mark mark, const QIcon (&icons)[3]) {
  static const char* const texts[] = {"追加", "変更", "削除"};
  row->setIcon(kName, icons[static_cast<int>(mark)]);
  row->setText(kChange, texts[static_cast<int>(mark)]);
  row->setForeground(kChange, QBrush(MarkColor(mark)));
}

}  // namespace

TCompareForm::TCompareForm(const std::string& fileName, const RegComparison& comparison,
                           QWidget* parent)
    : QDialog(parent),
      ChangeTree(new QTreeWidget(this)),
      CountLabel(new QLabel(this)),
      NoteLabel(new QLabel("注意(&N):", this)),
      NoteList(new QListWidget(this)),
      CloseBtn(new QPushButton("閉じる", this)) {
  setObjectName("CompareForm");
  const std::string shownFile = ExtractFileName(fileName);
  setWindowTitle(Q("REG ファイルと比較 - " + ShownName(shownFile)));

  auto* treeLabel = new QLabel("インポートで変わるキーと値(&K):", this);
  treeLabel->setBuddy(ChangeTree);
  ChangeTree->setObjectName("ChangeTree");
  ChangeTree->setColumnCount(kColumns);
  ChangeTree->setHeaderLabels({"名前", "変化", "REG ファイルの値", "今の値"});
  ChangeTree->setUniformRowHeights(true);
  ChangeTree->setSelectionMode(QAbstractItemView::SingleSelection);
  ChangeTree->setSelectionBehavior(QAbstractItemView::SelectRows);
  ChangeTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ChangeTree->setAllColumnsShowFocus(true);
  ChangeTree->setTextElideMode(Qt::ElideMiddle);  // the end of a long path tells most
  FillTree(comparison);

  CountLabel->setObjectName("CountLabel");
  CountLabel->setText(Q(RegChangeCountsText(comparison.counts)));
  CountLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

  // What the comparison cannot vouch for: lines the import passes over and
  // keys whose contents are not known.
  NoteList->setObjectName("NoteList");
  NoteLabel->setBuddy(NoteList);
  for (const RegReadProblem& problem : comparison.problems) {
    NoteList->addItem(
        Q("インポートで読み飛ばされる行: " + ShownName(RegReadProblemText(shownFile, problem))));
  }
  for (const std::string& key : comparison.unreadableKeys) {
    NoteList->addItem(
        Q("読めないキーなので、インポートで何が変わるかわかりません: " + ShownName(key)));
  }
  const bool notes = NoteList->count() > 0;
  NoteLabel->setVisible(notes);
  NoteList->setVisible(notes);
  // As high as its lines, up to four; more scroll.
  NoteList->setFixedHeight(NoteList->sizeHintForRow(0) * std::min(NoteList->count(), 4) +
                           2 * NoteList->frameWidth() + 2);

  CloseBtn->setObjectName("CloseBtn");
  connect(CloseBtn, &QPushButton::clicked, this, &QDialog::reject);  // Esc does the same
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(CloseBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(treeLabel);
  layout->addWidget(ChangeTree, 1);
  layout->addWidget(CountLabel);
  layout->addWidget(NoteLabel);
  layout->addWidget(NoteList);
  layout->addLayout(buttons);
  resize(960, 460);
  ChangeTree->setFocus();
}

void TCompareForm::FillTree(const RegComparison& comparison) {
  QList<QTreeWidgetItem*> keys;
  QTreeWidgetItem* key = nullptr;
  const std::string* keyName = nullptr;
  int rows = 0;
  const QIcon icons[] = {MarkIcon(Mark::Added), MarkIcon(Mark::Changed), MarkIcon(Mark::Deleted)};
  for (const RegChange& change : comparison.changes) {
    if (!keyName || *keyName != change.key) {
      key = new QTreeWidgetItem({Q(ShownName(change.key))});
      key->setToolTip(kName, key->text(kName));
      keys.append(key);
      keyName = &change.key;
      ++rows;
    }
    switch (change.kind) {
      case RegChange::Kind::KeyAdded:
        SetMark(key, Mark::Added, icons);
        continue;
      case RegChange::Kind::KeyDeleted:
        SetMark(key, Mark::Deleted, icons);
        continue;
      default:
        break;
    }
    auto* value = new QTreeWidgetItem(key);
    ++rows;
    value->setText(kName, change.valueName.empty() ? "(既定)" : Q(ShownName(change.valueName)));
    // The whole text (up to its cut) also as a tip, for a column too narrow.
    for (auto [column, shown] :
         {std::pair{kFileValue, &change.after}, std::pair{kNowValue, &change.before}}) {
      if (!*shown) continue;
      value->setText(column, Q(RegValueText(**shown)));
      value->setToolTip(column, value->text(column));
    }
    SetMark(value,
            change.kind == RegChange::Kind::ValueAdded     ? Mark::Added
            : change.kind == RegChange::Kind::ValueDeleted ? Mark::Deleted
                                                           : Mark::Changed,
            icons);
  }
  ChangeTree->addTopLevelItems(keys);
  if (rows <= kMaxExpandedRows) ChangeTree->expandAll();
  if (!keys.isEmpty()) ChangeTree->setCurrentItem(keys.front());
  // Wide enough for what is shown, within bounds, so that a long key path
  // or value does not push the other columns out of sight; the last column
  // takes the rest.
  const int bounds[kNowValue][2] = {{160, 400}, {48, 80}, {120, 230}};
  for (int k = 0; k < kNowValue; ++k) {
    ChangeTree->resizeColumnToContents(k);
    ChangeTree->setColumnWidth(k,
                               std::clamp(ChangeTree->columnWidth(k), bounds[k][0], bounds[k][1]));
  }
}

}  // namespace tarnwick::ui

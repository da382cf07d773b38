// TCompareForm: what importing a REG file would change in the registry now.
// A tree with one node per key, as the file names it, and the key's value
// changes below it, each marked added, changed or deleted; the counts below
// the tree, then the lines the import would pass over and the keys that
// could not be read. It only shows: the comparison is made by the caller.
#pragma once

#include <QDialog>
#include <string>

#include "regread/reg_compare.h"

class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;

namespace tarnwick::ui {

class TCompareForm : public QDialog {
  Q_OBJECT

 public:
  // fileName names the file in the caption and in the notes on its lines.
  TCompareForm(const std::string& fileName, const RegComparison& comparison,
               QWidget* parent = nullptr);

  // Above this many rows the tree starts collapsed: expanding them all
  // would keep the window from opening for a long time.
  static constexpr int kMaxExpandedRows = 2000;

 private:
  void FillTree(const RegComparison& comparison);

  QTreeWidget* ChangeTree;
  QLabel* CountLabel;
  QLabel* NoteLabel;
  QListWidget* NoteList;
  QPushButton* CloseBtn;
};

}  // namespace tarnwick::ui

// TPropertyForm: the item property dialog. With one item it edits the
// item's key list (written through at every add, change and delete), name,
// comment and exemption; with several, only the comment and the exemption,
// applied to all. Keys are typed into the path box or picked in a registry
// tree that is read one level at a time as its nodes are expanded.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "backitem/back_item.h"
#include "common/ports.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;

namespace tarnwick {
class RegistryStore;
class TBackItems;
struct ProgramState;
}  // namespace tarnwick

namespace tarnwick::ui {

class TPropertyForm : public QDialog {
  Q_OBJECT

 public:
  // selected: the selected rows of the main window's list, ascending; none
  // for a new item. The dialog edits a copy: the list changes only on OK,
  // where a new item joins it at its end.
  TPropertyForm(ProgramState& state, TBackItems& items, RegistryStore& store,
                std::vector<int> selected, BackListView& listView, PromptPort& prompts,
                HelpPort& help, QWidget* parent = nullptr);

  // The node's path: its root's long name and the names down to it.
  static std::string NodePath(const QTreeWidgetItem* node);
  // RegTreeChange: the selected node's path into the path box.
  void RegTreeChange();
  // How many keys the tree has opened; for tests of its laziness.
  int KeyOpens() const { return keyOpens_; }

  void done(int result) override;  // every close: the geometry goes back

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void FormCreate();
  void UpdateActions();
  void AddActExecute();
  void ChangeActExecute();
  void AddOrChange(bool change);
  void DeleteActExecute();
  void OKBtnClick();
  void RegTreeExpanding(QTreeWidgetItem* node);
  void OpenEntryList(QTreeWidgetItem* node);
  void ShowKeys();
  void ApplyAutoSplitter();
  void Splitter1Moved(bool dragged);

  ProgramState& state_;
  TBackItems& items_;
  RegistryStore& store_;
  std::vector<int> selected_;
  BackListView& listView_;
  PromptPort& prompts_;
  HelpPort& help_;
  bool SingleItem = false;
  int EditedIndex = -1;  // the one item edited; -1 for a new one
  TBackItem edited_;     // its copy, which the dialog changes
  bool commentEdited_ = false;
  int keyOpens_ = 0;

  QListWidget* BackupKeyList;
  QSplitter* Splitter1;
  QTreeWidget* RegTree;
  QLineEdit* BackEdit;
  QLineEdit* NameEdit;
  QLineEdit* CommentEdit;
  QCheckBox* NoDeleteCheck;
  QPushButton* OKBtn;
  QAction* AddAct;
  QAction* DeleteAct;
  QAction* ChangeAct;
};

}  // namespace tarnwick::ui

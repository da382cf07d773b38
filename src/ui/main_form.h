// TMainForm: the program's window. It shows the items of the open data file
// in BackList, and every command on them is an action whose enabling and
// visibility rules are evaluated after each change, when a menu opens and
// again just before the action runs: a disabled action never runs, however
// it is triggered. The window is also the front end of the export run: it
// is its MainWindowPort and its item list view.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "backitem/startup.h"
#include "common/ports.h"
#include "regwrite/export_losses.h"

class QAction;
class QMenu;
class QLabel;
class QPushButton;
class QTreeWidget;

class QMessageBox;

namespace tarnwick::ui {

class FileDialogs;

class TMainForm : public QWidget, public MainWindowPort, public BackListView {
  Q_OBJECT

 public:
  // The session comes from the start-up sequence; the ports answer for a
  // person: message boxes, file dialogs and the progress dialog.
  TMainForm(Session& session, PromptPort& prompts, FileDialogs& files, ProgressPort& progress,
            HelpPort& help, QWidget* parent = nullptr);

  // MainWindowPort
  bool IsVisible() const override { return isVisible(); }
  void SetActionsEnabled(bool enabled) override;
  void SetBusyCursor(bool busy) override;
  BackListView* ListView() override { return this; }

  // BackListView
  int RowCount() const override;
  std::string FocusedCaption() const override;
  int TopIndex() const override;
  int HorizontalOffset() const override;
  void Rebuild(const BackListUpdate& update) override;

  // The update handlers of the actions, all at once.
  void UpdateActions();

 protected:
  void closeEvent(QCloseEvent* event) override;  // FormCloseQuery
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QAction* NewAction(const char* name, const QString& caption, void (TMainForm::*handler)());
  void Run(QAction* action, void (TMainForm::*handler)());
  void BindButton(QPushButton* button, QAction* action);
  void BuildMenus();

  void AddActExecute();
  void PropertyActExecute();
  void DeleteActExecute();
  void DeleteConfirmActExecute();
  void RegWriteActExecute();
  void RegWrite1ActExecute();
  void SelRegWriteActExecute();
  void SelRegWrite1ActExecute();
  void OpenFileActExecute();
  void CompareActExecute();
  void OptionItemClick();
  void BackListColumnClick(int column);

  std::vector<int> SelectedIndices() const;
  // True when the dialog closed with OK.
  bool OpenPropertyForm(std::vector<int> selected);
  void ExportAll(const TOption& settings);
  void ExportSelected(TOption settings);
  void ExportItems(const std::vector<int>& indices, const TOption& settings);
  void ApplyCaption();
  void RestoreGeometry();
  void StoreGeometry();

  Session& session_;
  ProgramState& state_;
  PromptPort& prompts_;
  FileDialogs& files_;
  ProgressPort& progress_;
  HelpPort& help_;
  bool actionsHeld_ = false;   // SetActionsEnabled(false) while the progress display is off
  bool exporting_ = false;     // one export at a time, whatever the dialog's close box did
  QAction* sender_ = nullptr;  // the action whose handler runs

  QTreeWidget* BackList;
  QPushButton* AddBtn;
  QPushButton* DeleteBtn;
  QPushButton* MenuBtn;
  QPushButton* RegWriteBtn;
  QPushButton* ExitBtn;
  // What the last export put in place, read back and checked.
  QLabel* CheckedLabel;
  QMenu* BackListPopupMenu;
  QMenu* AssistPopupMenu;

  QAction* AddAct;
  QAction* PropertyAct;
  QAction* DeleteAct;
  QAction* DeleteConfirmAct;
  QAction* RegWriteAct;
  QAction* RegWrite1Act;
  QAction* RegWrite2Act;
  QAction* SelRegWriteAct;
  QAction* SelRegWrite1Act;
  QAction* SelRegWrite2Act;
  QAction* OpenFileAct;
  QAction* CompareAct;
};

// What an export could not keep, in one box owned by owner and modal to it
// alone, so that it can stay open beside the other windows while the user
// looks at the keys it names. Deletes itself when closed.
QMessageBox* OpenExportLossBox(QWidget* owner, const ExportLosses& losses);

}  // namespace tarnwick::ui

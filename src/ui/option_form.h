// TOptionForm: the options dialog. Its first page edits the export settings
// of the open data file, its second the program's common preferences; OK
// applies both (and always marks the data file modified), the defaults
// button makes the first page the defaults for new data files at once.
#pragma once

#include <QDialog>

#include "backitem/program_state.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace tarnwick {
class HelpPort;
class PromptPort;
}  // namespace tarnwick

namespace tarnwick::ui {

class FileDialogs;

class TOptionForm : public QDialog {
  Q_OBJECT

 public:
  // automaticVersion: the REG version the automatic setting gives here.
  TOptionForm(ProgramState& state, PromptPort& prompts, FileDialogs& files, HelpPort& help,
              int automaticVersion, QWidget* parent = nullptr);

  // The first page's controls into an export settings record.
  void StoreSettings(TOption& option) const;

 private:
  void FormCreate();
  void OKBtnClick();
  void DefaultBtnClick();
  void RegFileBrowseBtnClick();
  void RegEdit5CheckClick();

  ProgramState& state_;
  PromptPort& prompts_;
  FileDialogs& files_;
  HelpPort& help_;
  int automaticVersion_;

  QTabWidget* PageControl;
  QLineEdit* RegFileNameEdit;
  QPushButton* RegFileBrowseBtn;
  QCheckBox* FullRestoreCheck;
  QCheckBox* RegEdit5Check;
  QCheckBox* NewLineImportCheck;
  QCheckBox* AddCommentCheck;
  QCheckBox* SeparateCheck;
  QCheckBox* CreateBackupCheck;
  QButtonGroup* SeparateNameGroup;
  QPushButton* DefaultBtn;
  QCheckBox* ConfirmDeleteCheck;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QPushButton* HelpBtn;
};

}  // namespace tarnwick::ui

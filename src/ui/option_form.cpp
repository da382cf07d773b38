#include "ui/option_form.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "common/path_utils.h"
#include "common/ports.h"
#include "ui/file_dialogs.h"
#include "ui/help.h"

namespace tarnwick::ui {
namespace {

QCheckBox* NewCheck(QWidget* parent, const char* name, const QString& caption) {
  auto* check = new QCheckBox(caption, parent);
  check->setObjectName(name);
  return check;
}

}  // namespace

TOptionForm::TOptionForm(ProgramState& state, PromptPort& prompts, FileDialogs& files,
                         HelpPort& help, int automaticVersion, QWidget* parent)
    : QDialog(parent),
      state_(state),
      prompts_(prompts),
      files_(files),
      help_(help),
      automaticVersion_(automaticVersion),
      PageControl(new QTabWidget(this)),
      OKBtn(new QPushButton("OK", this)),
      CancelBtn(new QPushButton("キャンセル", this)),
      HelpBtn(new QPushButton("ヘルプ(&H)", this)) {
  setObjectName("OptionForm");
  setWindowTitle("オプション");
  PageControl->setObjectName("PageControl");

  auto* peculiar = new QWidget;
  peculiar->setObjectName("PeculiarTab");
  RegFileNameEdit = new QLineEdit(peculiar);
  RegFileNameEdit->setObjectName("RegFileNameEdit");
  auto* label = new QLabel("書き出しREGファイル名(&W):", peculiar);
  label->setBuddy(RegFileNameEdit);
  RegFileBrowseBtn = new QPushButton("参照(&R)...", peculiar);
  RegFileBrowseBtn->setObjectName("RegFileBrowseBtn");
  FullRestoreCheck =
      NewCheck(peculiar, "FullRestoreCheck", "完全に復元されるREGファイルを作成(&F)");
  RegEdit5Check = NewCheck(peculiar, "RegEdit5Check", "バージョン5形式のREGファイルを作成(&5)");
  RegEdit5Check->setTristate(true);  // unchecked, indeterminate (automatic), checked
  NewLineImportCheck =
      NewCheck(peculiar, "NewLineImportCheck", "改行を含む文字列値を取り込み可能に(&N)");
  NewLineImportCheck->setEnabled(false);
  AddCommentCheck = NewCheck(peculiar, "AddCommentCheck", "REGファイルにコメントを追加(&A)");
  SeparateCheck = NewCheck(peculiar, "SeparateCheck", "アイテム個別にREGファイルを作成(&S)");
  CreateBackupCheck = NewCheck(peculiar, "CreateBackupCheck", "バックアップ ファイルを作成(&B)");
  auto* group = new QGroupBox(" アイテム個別のファイル名 ", peculiar);
  group->setObjectName("SeparateNameGroup");
  SeparateNameGroup = new QButtonGroup(group);
  auto* byKey = new QRadioButton("キー名の最後(&L)", group);
  auto* byName = new QRadioButton("アイテム名(&I)", group);
  SeparateNameGroup->addButton(byKey, 0);
  SeparateNameGroup->addButton(byName, 1);
  auto* groupLayout = new QVBoxLayout(group);
  groupLayout->addWidget(byKey);
  groupLayout->addWidget(byName);
  DefaultBtn = new QPushButton("デフォルト値にする(&D)", peculiar);
  DefaultBtn->setObjectName("DefaultBtn");

  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(RegFileNameEdit);
  fileRow->addWidget(RegFileBrowseBtn);
  auto* newLine = new QHBoxLayout;
  newLine->addSpacing(20);  // indented under the version box
  newLine->addWidget(NewLineImportCheck);
  auto* checks = new QVBoxLayout;
  for (QCheckBox* check : {FullRestoreCheck, RegEdit5Check}) checks->addWidget(check);
  checks->addLayout(newLine);
  for (QCheckBox* check : {AddCommentCheck, SeparateCheck, CreateBackupCheck}) {
    checks->addWidget(check);
  }
  auto* right = new QVBoxLayout;
  right->addWidget(group);
  right->addStretch();
  right->addWidget(DefaultBtn);
  auto* columns = new QHBoxLayout;
  columns->addLayout(checks);
  columns->addLayout(right);
  auto* peculiarLayout = new QVBoxLayout(peculiar);
  peculiarLayout->addWidget(label);
  peculiarLayout->addLayout(fileRow);
  peculiarLayout->addLayout(columns);
  PageControl->addTab(peculiar, "データ ファイル固有");

  auto* common = new QWidget;
  common->setObjectName("CommonTab");
  ConfirmDeleteCheck = NewCheck(common, "ConfirmDeleteCheck", "アイテムを削除する前に確認(&C)");
  auto* commonLayout = new QVBoxLayout(common);
  commonLayout->addWidget(ConfirmDeleteCheck);
  commonLayout->addStretch();
  PageControl->addTab(common, "共通");

  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  CancelBtn->setObjectName("CancelBtn");
  HelpBtn->setObjectName("HelpBtn");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  buttons->addWidget(HelpBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PageControl);
  layout->addLayout(buttons);
  resize(424, 234);

  connect(RegEdit5Check, &QCheckBox::stateChanged, this, &TOptionForm::RegEdit5CheckClick);
  connect(RegFileBrowseBtn, &QPushButton::clicked, this, &TOptionForm::RegFileBrowseBtnClick);
  connect(DefaultBtn, &QPushButton::clicked, this, &TOptionForm::DefaultBtnClick);
  connect(OKBtn, &QPushButton::clicked, this, &TOptionForm::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(HelpBtn, &QPushButton::clicked, this, [this] { help_.ShowHelp(kHelpOptions); });
  FormCreate();
}

void TOptionForm::FormCreate() {
  const TOption& settings = state_.Settings;
  RegFileNameEdit->setText(QString::fromStdString(settings.RegFileName));
  FullRestoreCheck->setChecked(settings.FullRestore);
  RegEdit5Check->setCheckState(settings.RegEditVer == 0   ? Qt::PartiallyChecked
                               : settings.RegEditVer == 5 ? Qt::Checked
                                                          : Qt::Unchecked);
  RegEdit5CheckClick();  // also when the state did not change
  NewLineImportCheck->setChecked(settings.NewLineImport);
  AddCommentCheck->setChecked(settings.AddComment);
  SeparateCheck->setChecked(settings.Separate);
  CreateBackupCheck->setChecked(settings.CreateBackup);
  if (auto* button = SeparateNameGroup->button(settings.SeparateName == 0 ? 0 : 1)) {
    button->setChecked(true);
  }
  ConfirmDeleteCheck->setChecked(state_.ConfirmDelete);
}

// Enabled exactly when the export would write version 5.
void TOptionForm::RegEdit5CheckClick() {
  Qt::CheckState version = RegEdit5Check->checkState();
  NewLineImportCheck->setEnabled(version == Qt::Checked ||
                                 (version == Qt::PartiallyChecked && automaticVersion_ == 5));
}

void TOptionForm::StoreSettings(TOption& option) const {
  option.RegFileName = RegFileNameEdit->text().toStdString();
  option.FullRestore = FullRestoreCheck->isChecked();
  Qt::CheckState version = RegEdit5Check->checkState();
  option.RegEditVer = version == Qt::Checked ? 5 : version == Qt::PartiallyChecked ? 0 : 4;
  option.NewLineImport = NewLineImportCheck->isChecked();
  option.AddComment = AddCommentCheck->isChecked();
  option.Separate = SeparateCheck->isChecked();
  option.CreateBackup = CreateBackupCheck->isChecked();
  option.SeparateName = SeparateNameGroup->checkedId() == 1 ? 1 : 0;
}

void TOptionForm::OKBtnClick() {
  StoreSettings(state_.Settings);
  state_.ConfirmDelete = ConfirmDeleteCheck->isChecked();
  state_.DataModified = true;  // whether or not anything changed
  accept();
}

void TOptionForm::DefaultBtnClick() {
  if (prompts_.AskYesNo("現在の設定を、新規データ ファイル作成時のデフォルト値とします。"
                        "よろしいですか?",
                        "デフォルト値の設定", PromptIcon::Question) == PromptAnswer::Yes) {
    StoreSettings(state_.DefaultSettings);  // at once; Cancel does not undo it
  }
}

void TOptionForm::RegFileBrowseBtnClick() {
  const std::string text = RegFileNameEdit->text().toStdString();
  const std::string folder =
      ExtractFilePath(ResolveFileName(text, "", ExtractFilePath(state_.DataFileName)));
  if (auto chosen = files_.BrowseRegFile(folder, ExtractFileName(text))) {
    RegFileNameEdit->setText(QString::fromStdString(*chosen));
  }
}

}  // namespace tarnwick::ui

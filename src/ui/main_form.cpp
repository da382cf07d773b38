#include "ui/main_form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>

#include "backitem/app_settings.h"
#include "backitem/data_file.h"
#include "common/file_names.h"
#include "common/path_utils.h"
#include "common/prompts.h"
#include "regread/reg_compare.h"
#include "regwrite/export_run.h"
#include "regwrite/reg_check.h"
#include "ui/about_form.h"
#include "ui/compare_form.h"
#include "ui/file_dialogs.h"
#include "ui/help.h"
#include "ui/message_boxes.h"
#include "ui/option_form.h"
#include "ui/property_form.h"

namespace tarnwick::ui {
namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// True when enough of the window's top edge, where it is grabbed, lies on a
// screen. A place remembered from a screen since removed is not.
bool Reachable(const QRect& place) {
  constexpr int kGrabWidth = 100, kGrabHeight = 30;
  QRect top(place.topLeft(), QSize(place.width(), std::min(place.height(), kGrabHeight)));
  for (const QScreen* screen : QGuiApplication::screens()) {
    QRect seen = screen->availableGeometry() & top;
    if (seen.height() == top.height() && seen.width() >= std::min(top.width(), kGrabWidth)) {
      return true;
    }
  }
  return false;
}

// The window's busy cursor for as long as the scope lasts.
class BusyCursor {
 public:
  explicit BusyCursor(MainWindowPort& window) : window_(window) { window_.SetBusyCursor(true); }
  ~BusyCursor() { window_.SetBusyCursor(false); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  MainWindowPort& window_;
};

}  // namespace

TMainForm::TMainForm(Session& session, PromptPort& prompts, FileDialogs& files,
                     ProgressPort& progress, HelpPort& help, QWidget* parent)
    : QWidget(parent),
      session_(session),
      state_(session.state),
      prompts_(prompts),
      files_(files),
      progress_(progress),
      help_(help),
      BackList(new QTreeWidget(this)),
      AddBtn(new QPushButton(this)),
      DeleteBtn(new QPushButton(this)),
      MenuBtn(new QPushButton("補助メニュー(&M)", this)),
      RegWriteBtn(new QPushButton(this)),
      ExitBtn(new QPushButton("終了(&X)", this)),
      CheckedLabel(new QLabel(this)),
      BackListPopupMenu(new QMenu(this)),
      AssistPopupMenu(new QMenu(this)) {
  setObjectName("MainForm");
  resize(538, 399);
  setMinimumSize(500, 200);

  BackList->setObjectName("BackList");
  BackList->setColumnCount(4);
  BackList->setHeaderLabels({"名前", "キー名", "コメント", "自動削除"});
  BackList->setRootIsDecorated(false);
  BackList->setUniformRowHeights(true);
  BackList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  BackList->setSelectionBehavior(QAbstractItemView::SelectRows);
  BackList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  BackList->setAllColumnsShowFocus(true);
  BackList->header()->setSectionsClickable(true);
  BackList->header()->setStretchLastSection(false);
  BackList->setContextMenuPolicy(Qt::CustomContextMenu);
  BackList->installEventFilter(this);

  AddAct = NewAction("AddAct", "追加(&A)", &TMainForm::AddActExecute);
  PropertyAct = NewAction("PropertyAct", "プロパティ(&P)...", &TMainForm::PropertyActExecute);
  DeleteAct = NewAction("DeleteAct", "削除(&D)", &TMainForm::DeleteActExecute);
  DeleteConfirmAct = NewAction("DeleteConfirmAct", "削除(&D)", &TMainForm::DeleteConfirmActExecute);
  RegWriteAct =
      NewAction("RegWriteAct", "すべてのアイテムをREG書き出し(&A)", &TMainForm::RegWriteActExecute);
  RegWrite1Act = NewAction("RegWrite1Act", "すべてのアイテムをまとめてREG書き出し(&L)",
                           &TMainForm::RegWrite1ActExecute);
  RegWrite2Act = NewAction("RegWrite2Act", "すべてのアイテムを個別にREG書き出し(&L)",
                           &TMainForm::RegWrite1ActExecute);
  SelRegWriteAct = NewAction("SelRegWriteAct", "選択アイテムをREG書き出し(&S)...",
                             &TMainForm::SelRegWriteActExecute);
  SelRegWrite1Act = NewAction("SelRegWrite1Act", "選択アイテムをまとめてREG書き出し(&E)...",
                              &TMainForm::SelRegWrite1ActExecute);
  SelRegWrite2Act = NewAction("SelRegWrite2Act", "選択アイテムを個別にREG書き出し(&E)...",
                              &TMainForm::SelRegWrite1ActExecute);
  OpenFileAct = NewAction("OpenFileAct", "ファイルを開く(&P)...", &TMainForm::OpenFileActExecute);
  CompareAct = NewAction("CompareAct", "REG ファイルと比較(&C)...", &TMainForm::CompareActExecute);

  AddBtn->setObjectName("AddBtn");
  BindButton(AddBtn, AddAct);
  DeleteBtn->setObjectName("DeleteBtn");
  BindButton(DeleteBtn, DeleteConfirmAct);
  RegWriteBtn->setObjectName("RegWriteBtn");
  BindButton(RegWriteBtn, RegWriteAct);
  RegWriteBtn->setText("REG書き出し(&W)");
  MenuBtn->setObjectName("MenuBtn");
  ExitBtn->setObjectName("ExitBtn");
  BuildMenus();

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(AddBtn);
  buttons->addWidget(DeleteBtn);
  buttons->addStretch();
  buttons->addWidget(MenuBtn);
  buttons->addWidget(RegWriteBtn);
  buttons->addWidget(ExitBtn);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addWidget(BackList);
  // Shown once an export has put its files in place.
  CheckedLabel->setObjectName("CheckedLabel");
  CheckedLabel->hide();
  layout->addWidget(CheckedLabel);
  layout->addLayout(buttons);

  connect(BackList, &QTreeWidget::itemSelectionChanged, this, &TMainForm::UpdateActions);
  connect(BackList, &QTreeWidget::itemDoubleClicked, PropertyAct, &QAction::trigger);
  connect(BackList->header(), &QHeaderView::sectionClicked, this, &TMainForm::BackListColumnClick);
  connect(BackList, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    BackListPopupMenu->popup(BackList->viewport()->mapToGlobal(at));
  });
  connect(MenuBtn, &QPushButton::clicked, this,
          [this] { AssistPopupMenu->popup(MenuBtn->mapToGlobal(QPoint(0, MenuBtn->height()))); });
  connect(ExitBtn, &QPushButton::clicked, this, &QWidget::close);

  RestoreGeometry();
  ApplyCaption();
  session_.items.UpdateListView(*this);
  BackList->setFocus();
}

QAction* TMainForm::NewAction(const char* name, const QString& caption,
                              void (TMainForm::*handler)()) {
  auto* action = new QAction(caption, this);
  action->setObjectName(name);
  connect(action, &QAction::triggered, this, [this, action, handler] { Run(action, handler); });
  return action;
}

// The rule is evaluated again just before the action runs; a disabled action
// does not run, whichever way it was triggered.
void TMainForm::Run(QAction* action, void (TMainForm::*handler)()) {
  UpdateActions();
  if (!action->isEnabled()) return;
  QAction* outer = sender_;
  sender_ = action;
  (this->*handler)();
  sender_ = outer;
  UpdateActions();
}

void TMainForm::BindButton(QPushButton* button, QAction* action) {
  button->setText(action->text());
  auto mirror = [button, action] {
    button->setEnabled(action->isEnabled());
    button->setVisible(action->isVisible());
  };
  connect(action, &QAction::changed, button, mirror);
  connect(button, &QPushButton::clicked, action, &QAction::trigger);
  mirror();
}

void TMainForm::BuildMenus() {
  BackListPopupMenu->setObjectName("BackListPopupMenu");
  BackListPopupMenu->addAction(PropertyAct);
  BackListPopupMenu->setDefaultAction(PropertyAct);
  BackListPopupMenu->addAction(DeleteConfirmAct);
  BackListPopupMenu->addSeparator();
  for (QAction* action : {SelRegWriteAct, SelRegWrite1Act, SelRegWrite2Act}) {
    BackListPopupMenu->addAction(action);
  }
  BackListPopupMenu->addSeparator();
  for (QAction* action : {RegWriteAct, RegWrite1Act, RegWrite2Act}) {
    BackListPopupMenu->addAction(action);
  }
  AssistPopupMenu->setObjectName("AssistPopupMenu");
  auto item = [this](const char* name, const QString& caption, auto handler) {
    QAction* action = AssistPopupMenu->addAction(caption);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, handler);
  };
  item("OptionItem", "オプション(&O)...", [this] { OptionItemClick(); });
  AssistPopupMenu->addAction(OpenFileAct);
  AssistPopupMenu->addAction(CompareAct);
  AssistPopupMenu->addSeparator();
  item("HelpItem", "ヘルプ トピックの検索(&H)", [this] { help_.ShowHelp(kHelpDefaultTopic); });
  item("HelpMainItem", "このウィンドウのヘルプ(&T)", [this] { help_.ShowHelp(kHelpMainWindow); });
  item("AboutItem", "バージョン情報(&A)...", [this] {
    TAboutForm about(this);
    about.exec();
  });
  for (QMenu* menu : {BackListPopupMenu, AssistPopupMenu}) {
    connect(menu, &QMenu::aboutToShow, this, &TMainForm::UpdateActions);
  }
}

void TMainForm::UpdateActions() {
  // While an export runs nothing else may start or change the items, also
  // when the progress dialog's close box has given the window back.
  const bool off = actionsHeld_ || exporting_;
  const bool rows = !off && RowCount() > 0;
  const bool selected = !off && !BackList->selectionModel()->selectedRows().isEmpty();
  AddAct->setEnabled(!off);
  for (QAction* action : {DeleteAct, DeleteConfirmAct, SelRegWriteAct, PropertyAct}) {
    action->setEnabled(selected);
  }
  RegWriteAct->setEnabled(rows);
  RegWrite1Act->setEnabled(rows);
  RegWrite2Act->setEnabled(rows);
  SelRegWrite1Act->setEnabled(selected);
  SelRegWrite2Act->setEnabled(selected);
  // Next to each plain export, only the mode that differs from the current one.
  const bool separate = state_.Settings.Separate;
  RegWrite1Act->setVisible(separate);
  SelRegWrite1Act->setVisible(separate);
  RegWrite2Act->setVisible(!separate);
  SelRegWrite2Act->setVisible(!separate);
  OpenFileAct->setEnabled(!off);
  CompareAct->setEnabled(!off);  // it reads the store the export reads
}

void TMainForm::SetActionsEnabled(bool enabled) {
  if (!state_.ProgressOff) return;  // the progress dialog disables the window instead
  actionsHeld_ = !enabled;
  UpdateActions();
}

void TMainForm::SetBusyCursor(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

int TMainForm::RowCount() const {
  return BackList->topLevelItemCount();
}

std::string TMainForm::FocusedCaption() const {
  const QTreeWidgetItem* item = BackList->currentItem();
  return item ? item->text(0).toStdString() : std::string();
}

int TMainForm::TopIndex() const {
  return BackList->verticalScrollBar()->value();
}

int TMainForm::HorizontalOffset() const {
  return BackList->horizontalScrollBar()->value();
}

void TMainForm::Rebuild(const BackListUpdate& update) {
  QList<QTreeWidgetItem*> rows;
  rows.reserve(static_cast<qsizetype>(update.Rows.size()));
  for (const BackListRow& row : update.Rows) {
    rows.append(
        new QTreeWidgetItem({Q(row.Caption), Q(row.Keys), Q(row.Comment), Q(row.NoDelete)}));
  }
  BackList->setUpdatesEnabled(false);
  BackList->clear();
  BackList->addTopLevelItems(rows);
  if (update.FocusRow >= 0 && update.FocusRow < rows.size()) {
    // The focus only: no row is selected after a rebuild.
    BackList->selectionModel()->setCurrentIndex(BackList->model()->index(update.FocusRow, 0),
                                                QItemSelectionModel::NoUpdate);
  }
  if (update.Scroll) {
    BackList->verticalScrollBar()->setValue(update.TopIndex);
    BackList->horizontalScrollBar()->setValue(update.HorizontalOffset);
  }
  BackList->setUpdatesEnabled(true);
  UpdateActions();
}

std::vector<int> TMainForm::SelectedIndices() const {
  std::vector<int> indices;
  for (int i = 0; i < RowCount(); ++i) {
    if (BackList->topLevelItem(i)->isSelected()) indices.push_back(i);
  }
  return indices;
}

void TMainForm::AddActExecute() {
  // The new item goes to the end, whatever the order, and only on OK.
  if (!OpenPropertyForm({})) return;
  BackList->clearSelection();
  BackList->topLevelItem(RowCount() - 1)->setSelected(true);
  BackList->scrollToBottom();
}

void TMainForm::PropertyActExecute() {
  OpenPropertyForm(SelectedIndices());
}

bool TMainForm::OpenPropertyForm(std::vector<int> selected) {
  // The tree shows the registry as it is now: a prefix rewritten on disk
  // since it was read is read again.
  try {
    session_.store->Refresh([this] { progress_.ProcessMessages(); });
  } catch (const std::exception& e) {
    ErrorMessage(prompts_, e.what(), kProgramName);  // the data read before stays in use
  }
  TPropertyForm form(state_, session_.items, *session_.store, std::move(selected), *this, prompts_,
                     help_, this);
  return form.exec() == QDialog::Accepted;
}

void TMainForm::DeleteActExecute() {
  // From the last row to the first, so that the rows still to be visited
  // keep their indexes.
  for (int i = RowCount() - 1; i >= 0; --i) {
    if (BackList->topLevelItem(i)->isSelected()) session_.items.Delete(i);
  }
  session_.items.UpdateListView(*this);
  state_.DataModified = true;
}

void TMainForm::DeleteConfirmActExecute() {
  if (state_.ConfirmDelete &&
      prompts_.AskYesNo("選択されているアイテムを削除しますか?", "アイテムの削除確認",
                        PromptIcon::Question) != PromptAnswer::Yes) {
    return;
  }
  DeleteAct->trigger();
}

void TMainForm::RegWriteActExecute() {
  ExportAll(state_.Settings);
}

// A forced mode is for this one export only: it goes into a copy of the
// settings, and the stored mode and DataModified stay.
void TMainForm::RegWrite1ActExecute() {
  TOption settings = state_.Settings;
  settings.Separate = sender_ == RegWrite2Act;
  ExportAll(settings);
}

void TMainForm::SelRegWrite1ActExecute() {
  TOption settings = state_.Settings;
  settings.Separate = sender_ == SelRegWrite2Act;
  ExportSelected(settings);
}

void TMainForm::SelRegWriteActExecute() {
  ExportSelected(state_.Settings);
}

void TMainForm::ExportAll(const TOption& settings) {
  std::vector<int> all(static_cast<std::size_t>(session_.items.Count()));
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
  ExportItems(all, settings);
}

// What the user picks here goes into the copy, never into the settings.
void TMainForm::ExportSelected(TOption settings) {
  const std::vector<int> indices = SelectedIndices();
  const std::string folder = ExtractFilePath(
      ResolveFileName(settings.RegFileName, "", ExtractFilePath(state_.DataFileName)));
  if (settings.Separate) {
    auto chosen = files_.ChooseFolder("書き出すフォルダを選択してください。", folder);
    if (!chosen) return;
    // Only the folder counts: each item's file is named by the export.
    std::string dir = *chosen;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    settings.RegFileName = dir + "_.reg";
  } else {
    std::string proposed;
    if (indices.size() == 1) {
      proposed = ExtractFileName(
          SeparateFileName(folder, session_.items.Items(indices.front()), settings));
    }
    auto chosen = files_.SaveRegFile(folder, proposed);
    if (!chosen) return;
    settings.RegFileName = *chosen;
  }
  ExportItems(indices, settings);
}

void TMainForm::ExportItems(const std::vector<int>& indices, const TOption& settings) {
  exporting_ = true;
  UpdateActions();
  ExportContext context{state_, session_.items, *session_.store, prompts_, progress_, this};
  ExportOutcome outcome = RegWriteItems(context, indices, settings);
  exporting_ = false;
  UpdateActions();
  const bool completed = outcome.status == ExportStatus::Completed;
  CheckedLabel->setText(completed ? QString::fromStdString(CheckedCountsText(outcome.checked))
                                  : QString());
  CheckedLabel->setVisible(completed);
  if (outcome.status == ExportStatus::Failed) {
    ErrorMessage(prompts_, ExportFailureText(outcome), kProgramName);
  }
  if (!outcome.losses.Empty()) OpenExportLossBox(this, outcome.losses);
}

void TMainForm::OpenFileActExecute() {
  DataFileContext context{state_, session_.items, prompts_, this};
  SaveDataFile(context);
  auto chosen = files_.OpenDataFile(ExtractFilePath(state_.DataFileName));
  if (!chosen) return;
  session_.items.Clear();
  state_.DataFileName = *chosen;
  try {
    LoadDataFile(context);
  } catch (const std::exception& e) {
    ErrorMessage(prompts_, "ファイル '" + state_.DataFileName + "' が開けません。\r\n" + e.what(),
                 kProgramName);
  }
  session_.items.UpdateListView(*this);
  ApplyCaption();
}

void TMainForm::CompareActExecute() {
  const std::string folder = ExtractFilePath(
      ResolveFileName(state_.Settings.RegFileName, "", ExtractFilePath(state_.DataFileName)));
  auto chosen = files_.OpenRegFile(folder);
  if (!chosen) return;
  RegComparison comparison;
  std::string failure, refreshFailure;
  {
    BusyCursor busy(*this);
    // Against the registry as it is now: a prefix rewritten on disk since
    // it was read is read again, as for the property dialog's tree.
    try {
      session_.store->Refresh([this] { progress_.ProcessMessages(); });
    } catch (const std::exception& e) {
      refreshFailure = e.what();  // the data read before stays in use
    }
    try {
      comparison = CompareRegFile(*chosen, *session_.store);
    } catch (const ERegReadError& e) {
      failure = e.what();
    } catch (const EInOutError& e) {
      failure = "ファイル '" + *chosen + "' が開けません。\r\n" + e.what();
    }
  }
  if (!failure.empty()) {
    ErrorMessage(prompts_, failure, kProgramName);
    return;
  }
  if (!refreshFailure.empty()) ErrorMessage(prompts_, refreshFailure, kProgramName);
  TCompareForm form(*chosen, comparison, this);
  form.exec();
}

void TMainForm::OptionItemClick() {
  TOptionForm form(state_, prompts_, files_, help_, EffectiveRegEditVer(0), this);
  form.exec();  // OK applies the changes itself
  UpdateActions();
}

void TMainForm::BackListColumnClick(int column) {
  if (actionsHeld_ || exporting_) return;
  TBackItems& items = session_.items;
  items.SortColumn = std::abs(items.SortColumn) == column + 1 ? -items.SortColumn : column + 1;
  items.Sort();
  items.UpdateListView(*this);
  state_.DataModified = true;  // the new order is the data file's order
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == BackList && event->type() == QEvent::KeyPress) {
    int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Delete) DeleteConfirmAct->trigger();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) PropertyAct->trigger();
  }
  return QWidget::eventFilter(watched, event);
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (exporting_) {
    event->ignore();
    return;
  }
  // The data file, then the settings file; a save the user gave up on does
  // not keep the window open.
  StoreGeometry();
  DataFileContext context{state_, session_.items, prompts_, this};
  SaveDataFile(context);
  SaveAppSettings(state_, prompts_);
  event->accept();
}

void TMainForm::ApplyCaption() {
  // The window's title is also what the task bar shows.
  setWindowTitle(Q(state_.Caption.empty() ? kProgramName : state_.Caption));
}

void TMainForm::RestoreGeometry() {
  const MainWindowGeometry& window = state_.Window;
  QRect place(window.Left, window.Top, window.Width, window.Height);
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (window.Width > 0 && window.Height > 0 && screen && !Reachable(place)) {
    // Centred on the main screen instead, and no larger than it.
    QRect area = screen->availableGeometry();
    place.setSize(place.size().boundedTo(area.size()));
    place.moveCenter(area.center());
  }
  if (window.Width > 0 && window.Height > 0) setGeometry(place);
  for (int k = 0; k < 4; ++k) BackList->setColumnWidth(k, window.BackListColumns[k]);
}

void TMainForm::StoreGeometry() {
  MainWindowGeometry& window = state_.Window;
  QRect normal = normalGeometry();
  window.Left = normal.left();
  window.Top = normal.top();
  window.Width = normal.width();
  window.Height = normal.height();
  window.State = isMaximized() ? 2 : isMinimized() ? 1 : 0;
  for (int k = 0; k < 4; ++k) window.BackListColumns[k] = BackList->columnWidth(k);
}

QMessageBox* OpenExportLossBox(QWidget* owner, const ExportLosses& losses) {
  auto* box =
      new QMessageBox(QMessageBox::Warning, kProgramName,
                      QString::fromStdString(ExportLossReport(losses)), QMessageBox::Ok, owner);
  box->setObjectName("ExportLossBox");
  NameButtonsInJapanese(*box);
  // Wide enough that a key path and its note mostly keep to one line.
  box->setStyleSheet("QLabel#qt_msgbox_label { min-width: 46em; }");
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::WindowModal);
  box->open();
  return box;
}

}  // namespace tarnwick::ui

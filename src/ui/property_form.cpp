#include "ui/property_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "backitem/back_item.h"
#include "backitem/key_edit.h"
#include "backitem/program_state.h"
#include "common/collation.h"
#include "common/key_path.h"
#include "common/prompts.h"
#include "registry/registry.h"
#include "ui/entry_list_form.h"
#include "ui/help.h"

namespace tarnwick::ui {
namespace {

constexpr int kInitialMinWidth = 450;
constexpr int kTreeMinWidth = 100;  // the splitter's minimum size
constexpr double kAutoSplitterShare = 0.64;

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QPushButton* ActionButton(QAction* action, QWidget* parent) {
  auto* button = new QPushButton(action->text(), parent);
  button->setAutoDefault(false);
  auto mirror = [button, action] { button->setEnabled(action->isEnabled()); };
  QObject::connect(action, &QAction::changed, button, mirror);
  QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
  mirror();
  return button;
}

// The busy cursor and a tree that does not repaint, for as long as it lives.
class BusyTree {
 public:
  explicit BusyTree(QTreeWidget* tree) : tree_(tree) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    tree_->setUpdatesEnabled(false);
  }
  ~BusyTree() {
    tree_->setUpdatesEnabled(true);
    QApplication::restoreOverrideCursor();
  }
  BusyTree(const BusyTree&) = delete;
  BusyTree& operator=(const BusyTree&) = delete;

 private:
  QTreeWidget* tree_;
};

}  // namespace

TPropertyForm::TPropertyForm(ProgramState& state, TBackItems& items, RegistryStore& store,
                             std::vector<int> selected, BackListView& listView, PromptPort& prompts,
                             HelpPort& help, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      state_(state),
      items_(items),
      store_(store),
      selected_(std::move(selected)),
      listView_(listView),
      prompts_(prompts),
      help_(help),
      BackupKeyList(new QListWidget),
      Splitter1(new QSplitter(Qt::Horizontal)),
      RegTree(new QTreeWidget),
      BackEdit(new QLineEdit(this)),
      NameEdit(new QLineEdit(this)),
      CommentEdit(new QLineEdit(this)),
      NoDeleteCheck(new QCheckBox("自動削除しない(&U)", this)),
      OKBtn(new QPushButton("OK", this)) {
  setObjectName("PropertyForm");
  BackupKeyList->setObjectName("BackupKeyList");
  BackupKeyList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  Splitter1->setObjectName("Splitter1");
  Splitter1->setChildrenCollapsible(false);
  RegTree->setObjectName("RegTree");
  RegTree->setHeaderHidden(true);
  RegTree->setIndentation(19);
  RegTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  RegTree->setContextMenuPolicy(Qt::CustomContextMenu);
  RegTree->setMinimumWidth(kTreeMinWidth);
  BackEdit->setObjectName("BackEdit");
  NameEdit->setObjectName("NameEdit");
  CommentEdit->setObjectName("CommentEdit");
  NoDeleteCheck->setObjectName("NoDeleteCheck");
  OKBtn->setObjectName("OKBtn");

  AddAct = new QAction("追加(&A)", this);
  AddAct->setObjectName("AddAct");
  DeleteAct = new QAction("削除(&D)", this);
  DeleteAct->setObjectName("DeleteAct");
  ChangeAct = new QAction("変更(&C)", this);
  ChangeAct->setObjectName("ChangeAct");
  connect(AddAct, &QAction::triggered, this, &TPropertyForm::AddActExecute);
  connect(DeleteAct, &QAction::triggered, this, &TPropertyForm::DeleteActExecute);
  connect(ChangeAct, &QAction::triggered, this, &TPropertyForm::ChangeActExecute);

  auto* label1 = new QLabel("バックアップ キー(&B):", this);
  label1->setBuddy(BackupKeyList);
  auto* label2 = new QLabel("レジストリ(&R):", this);
  label2->setBuddy(RegTree);
  auto* label3 = new QLabel("名前(&N):", this);
  label3->setBuddy(NameEdit);
  auto* label4 = new QLabel("コメント(&O):", this);
  label4->setBuddy(CommentEdit);
  auto* cancel = new QPushButton("キャンセル", this);
  cancel->setObjectName("CancelBtn");
  cancel->setAutoDefault(false);
  auto* helpBtn = new QPushButton("ヘルプ(&H)", this);
  helpBtn->setObjectName("HelpBtn");
  helpBtn->setAutoDefault(false);
  OKBtn->setDefault(true);

  auto* treeSide = new QWidget;
  auto* treeLayout = new QVBoxLayout(treeSide);
  treeLayout->setContentsMargins(0, 0, 0, 0);
  treeLayout->addWidget(label2);
  treeLayout->addWidget(RegTree);
  auto* listSide = new QWidget;
  auto* listLayout = new QVBoxLayout(listSide);
  listLayout->setContentsMargins(0, 0, 0, 0);
  listLayout->addWidget(label1);
  listLayout->addWidget(BackupKeyList);
  Splitter1->addWidget(listSide);
  Splitter1->addWidget(treeSide);
  Splitter1->setStretchFactor(1, 1);

  auto* keyButtons = new QHBoxLayout;
  keyButtons->addStretch();
  keyButtons->addWidget(ActionButton(AddAct, this));
  keyButtons->addWidget(ActionButton(DeleteAct, this));
  keyButtons->addWidget(ActionButton(ChangeAct, this));
  auto* fields = new QGridLayout;
  fields->addWidget(label3, 0, 0);
  fields->addWidget(NameEdit, 0, 1);
  fields->addWidget(label4, 1, 0);
  fields->addWidget(CommentEdit, 1, 1);
  fields->addWidget(NoDeleteCheck, 2, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKBtn);
  buttons->addWidget(cancel);
  buttons->addWidget(helpBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Splitter1, 1);
  layout->addWidget(BackEdit);
  layout->addLayout(keyButtons);
  layout->addLayout(fields);
  layout->addLayout(buttons);

  for (const TRegRootKey& root : RootKeys) {
    auto* node = new QTreeWidgetItem(RegTree, {Q(root.LongName)});
    node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  }

  connect(RegTree, &QTreeWidget::itemExpanded, this, &TPropertyForm::RegTreeExpanding);
  connect(RegTree, &QTreeWidget::currentItemChanged, this, &TPropertyForm::RegTreeChange);
  connect(RegTree, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QTreeWidgetItem* node = RegTree->itemAt(at);
    if (!node) return;
    RegTree->setCurrentItem(node);
    QApplication::processEvents();
    OpenEntryList(node);
  });
  connect(BackupKeyList, &QListWidget::itemClicked, this, [this] {
    if (BackupKeyList->selectedItems().size() == 1 && BackupKeyList->currentItem()) {
      BackEdit->setText(BackupKeyList->currentItem()->text());
    }
  });
  connect(BackupKeyList, &QListWidget::itemSelectionChanged, this, &TPropertyForm::UpdateActions);
  connect(BackEdit, &QLineEdit::textChanged, this, &TPropertyForm::UpdateActions);
  connect(NameEdit, &QLineEdit::textChanged, this, &TPropertyForm::UpdateActions);
  connect(CommentEdit, &QLineEdit::textEdited, this, [this] { commentEdited_ = true; });
  connect(OKBtn, &QPushButton::clicked, this, &TPropertyForm::OKBtnClick);
  connect(cancel, &QPushButton::clicked, this, &TPropertyForm::reject);
  connect(helpBtn, &QPushButton::clicked, this, [this] { help_.ShowHelp(kHelpProperty); });
  connect(Splitter1, &QSplitter::splitterMoved, this, [this] { Splitter1Moved(true); });
  BackEdit->installEventFilter(this);
  RegTree->installEventFilter(this);

  SingleItem = selected_.size() <= 1;
  if (selected_.size() == 1) {
    EditedIndex = selected_.front();
    edited_ = items_.Items(EditedIndex);
  }
  FormCreate();
}

void TPropertyForm::FormCreate() {
  resize(665, 399);
  setMinimumSize(kInitialMinWidth, 300);
  if (state_.PropertyWidth > 0) {
    resize(state_.PropertyWidth, state_.PropertyHeight);
    Splitter1->setSizes({state_.PropertySplitter, state_.PropertyWidth - state_.PropertySplitter});
  } else {
    Splitter1->setSizes({373, 665 - 373});
  }
  QString title;
  if (SingleItem) {
    title = edited_.Name.empty() ? QString("新規アイテム") : Q(edited_.Name) + " ";
    ShowKeys();
    NameEdit->setText(Q(edited_.Name));
  } else {
    title = QString::number(selected_.size()) + " 件のアイテム";
    for (QWidget* widget :
         std::initializer_list<QWidget*>{BackupKeyList, RegTree, BackEdit, NameEdit}) {
      widget->setEnabled(false);
    }
  }
  setWindowTitle(title + "のプロパティ");

  // The comment and the flag that every selected item shares.
  const TBackItem& first = SingleItem ? edited_ : items_.Items(selected_.front());
  bool sameComment = true, sameFlag = true;
  for (int index : selected_) {
    sameComment = sameComment && items_.Items(index).Comment == first.Comment;
    sameFlag = sameFlag && items_.Items(index).NoDelete == first.NoDelete;
  }
  CommentEdit->setText(sameComment ? Q(first.Comment) : QString("(変更しない)"));
  if (sameFlag) {
    NoDeleteCheck->setChecked(first.NoDelete);
  } else {
    // Indeterminate, then checked, unchecked, indeterminate at each click.
    NoDeleteCheck->setTristate(true);
    NoDeleteCheck->setCheckState(Qt::PartiallyChecked);
  }
  Splitter1Moved(false);  // once at opening
  UpdateActions();
}

// The dialog never gets so narrow that the tree is narrower than 100
// pixels, nor narrower than its designed minimum. A drag keeps the width it
// gave the list until the next resize, add or change.
void TPropertyForm::Splitter1Moved(bool dragged) {
  int list = std::max(1, Splitter1->sizes().value(0));
  setMinimumWidth(std::max(kInitialMinWidth, list + Splitter1->handleWidth() + kTreeMinWidth +
                                                 (width() - Splitter1->width())));
  if (!dragged) ApplyAutoSplitter();
}

std::string TPropertyForm::NodePath(const QTreeWidgetItem* node) {
  std::string path;
  for (; node; node = node->parent()) {
    path = node->text(0).toStdString() + (path.empty() ? "" : "\\" + path);
  }
  return path;
}

void TPropertyForm::RegTreeChange() {
  if (QTreeWidgetItem* node = RegTree->currentItem()) BackEdit->setText(Q(NodePath(node)));
}

// Reads one level: n + 1 key openings for n subkeys. A node that has
// children keeps them; one whose reading gave none is read again next time.
void TPropertyForm::RegTreeExpanding(QTreeWidgetItem* node) {
  BusyTree busy(RegTree);
  if (node->childCount() == 0) {
    KeyPathParts path = ParseKeyPath(NormalizeKeyPath(NodePath(node)));
    TRegistry registry(store_);
    registry.SetRootKey(path.root.RootKey);
    ++keyOpens_;
    registry.OpenKeyReadOnly(path.subPath);  // a key that does not open has no subkeys
    std::vector<std::string> names;
    registry.GetKeyNames(names);
    registry.CloseKey();
    const std::string prefix = path.subPath.empty() ? "" : path.subPath + "\\";
    for (const std::string& name : names) {
      auto* child = new QTreeWidgetItem(node, {Q(name)});
      ++keyOpens_;
      bool hasSubKeys = registry.OpenKeyReadOnly(prefix + name) && registry.HasSubKeys();
      registry.CloseKey();
      child->setChildIndicatorPolicy(hasSubKeys ? QTreeWidgetItem::ShowIndicator
                                                : QTreeWidgetItem::DontShowIndicator);
    }
  }
  // The direct children, sorted as the locale sorts, case-sensitively.
  QList<QTreeWidgetItem*> children = node->takeChildren();
  std::stable_sort(children.begin(), children.end(), [](QTreeWidgetItem* a, QTreeWidgetItem* b) {
    return CompareTextLocale(a->text(0).toStdString(), b->text(0).toStdString()) < 0;
  });
  node->addChildren(children);
}

void TPropertyForm::OpenEntryList(QTreeWidgetItem* node) {
  auto* list = new TEntryListForm(
      store_, state_, NormalizeKeyPath(NodePath(node)),
      [this](const std::string& name) {
        RegTreeChange();
        BackEdit->setText(BackEdit->text() + "|" + Q(name));
      },
      this);
  QRect label = RegTree->visualItemRect(node);
  list->move(RegTree->viewport()->mapToGlobal(label.bottomLeft()));
  list->show();
}

void TPropertyForm::UpdateActions() {
  AddAct->setEnabled(!BackEdit->text().isEmpty());
  OKBtn->setEnabled(!SingleItem || (!NameEdit->text().isEmpty() && BackupKeyList->count() > 0));
  DeleteAct->setEnabled(!BackupKeyList->selectedItems().isEmpty());
  ChangeAct->setEnabled(BackupKeyList->count() > 0 && BackupKeyList->currentRow() >= 0 &&
                        AddAct->isEnabled());
}

void TPropertyForm::ShowKeys() {
  BackupKeyList->clear();
  for (const std::string& key : edited_.BackupKeys) BackupKeyList->addItem(Q(key));
}

void TPropertyForm::AddActExecute() {
  AddOrChange(false);
}

void TPropertyForm::ChangeActExecute() {
  AddOrChange(true);
}

void TPropertyForm::AddOrChange(bool change) {
  UpdateActions();
  if (!SingleItem || !(change ? ChangeAct : AddAct)->isEnabled()) return;
  const std::string typed = TrimTrailingBackslashes(BackEdit->text().toStdString());
  BackEdit->setText(Q(typed));
  const int exceptIndex = change ? BackupKeyList->currentRow() : -1;
  KeyEditPlan plan = PlanKeyEdit(store_, edited_, typed, exceptIndex);
  if (plan.result != KeyEditPlan::Result::Ready) {
    ErrorMessage(prompts_,
                 plan.result == KeyEditPlan::Result::Unstorable ? plan.problem
                 : plan.result == KeyEditPlan::Result::Missing  ? kKeyMissingText
                                                                : kAncestorHeldText,
                 kKeyEditCaption);
    BackEdit->setFocus();
    return;
  }
  if (!plan.descendants.empty()) {
    BackupKeyList->clearSelection();
    for (int index : plan.descendants) BackupKeyList->item(index)->setSelected(true);
    if (prompts_.AskYesNo(DescendantQuestion(plan.descendants.size()), "下位キーの削除確認",
                          PromptIcon::Warning) != PromptAnswer::Yes) {
      BackupKeyList->clearSelection();
      return;
    }
  }
  int at = ApplyKeyEdit(edited_, plan, exceptIndex);
  ShowKeys();
  BackupKeyList->setCurrentRow(at, QItemSelectionModel::NoUpdate);
  if (!change) {
    BackupKeyList->scrollToBottom();
    if (NameEdit->text().isEmpty()) NameEdit->setText(Q(KeyPathLastName(plan.path)));
  }
  ApplyAutoSplitter();
  UpdateActions();
}

void TPropertyForm::DeleteActExecute() {
  UpdateActions();
  if (!DeleteAct->isEnabled()) return;
  std::vector<std::string>& keys = edited_.BackupKeys;
  for (int row = BackupKeyList->count() - 1; row >= 0; --row) {
    if (BackupKeyList->item(row)->isSelected()) keys.erase(keys.begin() + row);
  }
  ShowKeys();
  UpdateActions();
}

void TPropertyForm::OKBtnClick() {
  UpdateActions();
  if (!OKBtn->isEnabled()) return;
  const std::string comment = CommentEdit->text().toStdString();
  if (std::string problem = commentEdited_ ? CommentTextProblem(comment) : ""; !problem.empty()) {
    ErrorMessage(prompts_, problem);
    CommentEdit->setFocus();
    return;
  }
  if (SingleItem) {
    const std::string name = NameEdit->text().toStdString();
    if (std::string problem = ItemNameTextProblem(name); !problem.empty()) {
      ErrorMessage(prompts_, problem);
      NameEdit->setFocus();
      return;
    }
    if (items_.NameExists(name, EditedIndex)) {
      ErrorMessage(prompts_, "指定された名前はすでに存在します。別の名前を指定してください。");
      return;
    }
    edited_.Name = name;
    std::stable_sort(
        edited_.BackupKeys.begin(), edited_.BackupKeys.end(),
        [](const std::string& a, const std::string& b) { return CompareTextIgnoreCase(a, b) < 0; });
    // A new item joins the list at its end.
    if (EditedIndex < 0) {
      items_.Add(edited_.Name, &edited_.BackupKeys, "", false);
      EditedIndex = items_.Count() - 1;
      selected_ = {EditedIndex};
    }
    TBackItem& item = items_.Items(EditedIndex);
    item.Name = edited_.Name;
    item.BackupKeys = edited_.BackupKeys;
  }
  for (int index : selected_) {
    TBackItem& item = items_.Items(index);
    // Only what the user typed is written, never what the dialog put there.
    if (commentEdited_) item.Comment = comment;
    if (NoDeleteCheck->checkState() != Qt::PartiallyChecked)
      item.NoDelete = NoDeleteCheck->isChecked();
  }
  items_.UpdateListView(listView_);
  state_.DataModified = true;
  accept();
}

void TPropertyForm::done(int result) {
  state_.PropertyWidth = width();
  state_.PropertyHeight = height();
  state_.PropertySplitter = BackupKeyList->width();
  QDialog::done(result);
}

bool TPropertyForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == BackEdit) {
    // Enter in the path box adds, and is consumed: it never closes the dialog.
    if (event->type() == QEvent::FocusIn) OKBtn->setDefault(false);
    if (event->type() == QEvent::FocusOut) OKBtn->setDefault(true);
    if (event->type() == QEvent::KeyPress) {
      int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        AddAct->trigger();
        return true;
      }
    }
  } else if (watched == RegTree && event->type() == QEvent::KeyPress &&
             static_cast<QKeyEvent*>(event)->key() == Qt::Key_Menu) {
    if (QTreeWidgetItem* node = RegTree->currentItem()) OpenEntryList(node);
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TPropertyForm::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  ApplyAutoSplitter();
}

void TPropertyForm::ApplyAutoSplitter() {
  if (!state_.AutoSplitter) return;
  int list = static_cast<int>(width() * kAutoSplitterShare);
  Splitter1->setSizes({list, std::max(kTreeMinWidth, Splitter1->width() - list)});
}

}  // namespace tarnwick::ui

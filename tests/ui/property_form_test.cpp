// The item property dialog and the value list window on an in-memory
// registry: titles and enabling, adding with its checks and questions, the
// common values of several items, OK and Cancel, the lazy tree and picking
// a value.
#include "ui/property_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "backitem/back_item.h"
#include "backitem/program_state.h"
#include "memory_store.h"
#include "registry/registry_store.h"
#include "scripted_prompts.h"
#include "ui/entry_list_form.h"
#include "ui_fakes.h"

namespace tarnwick::ui {
namespace {

class NoView : public BackListView {
 public:
  int RowCount() const override { return 0; }
  std::string FocusedCaption() const override { return ""; }
  int TopIndex() const override { return 0; }
  int HorizontalOffset() const override { return 0; }
  void Rebuild(const BackListUpdate&) override {}
};

}  // namespace

class PropertyFormTest : public QObject {
  Q_OBJECT

  struct Fixture {
    MemoryStore store;
    ProgramState state;
    TBackItems items;
    NoView view;
    test::ScriptedPrompts prompts;
    RecordingHelp help;
    Fixture() {
      for (const char* key : {"HKCU\\Software\\A\\B", "HKCU\\Software\\AB", "HKCU\\Environment",
                              "HKLM\\Software\\Wine"}) {
        store.SetDword(key, "v", 1);
      }
    }
    int Add(const std::string& name, std::vector<std::string> keys, const std::string& comment = "",
            bool noDelete = false) {
      items.Add(name, &keys, comment, noDelete);
      return items.Count() - 1;
    }
    std::unique_ptr<TPropertyForm> Open(std::vector<int> selected) {
      return std::make_unique<TPropertyForm>(state, items, store, std::move(selected), view,
                                             prompts, help);
    }
  };

  template <typename T>
  static T* Find(QObject* form, const char* name) {
    return form->findChild<T*>(name);
  }
  static void Type(TPropertyForm* form, const QString& path) {
    auto* edit = Find<QLineEdit>(form, "BackEdit");
    edit->setText(path);
    QTest::keyClick(edit, Qt::Key_Return);  // Enter in the path box adds
  }
  static QStringList Keys(TPropertyForm* form) {
    QStringList keys;
    auto* list = Find<QListWidget>(form, "BackupKeyList");
    for (int i = 0; i < list->count(); ++i) keys << list->item(i)->text();
    return keys;
  }

 private slots:
  void aNewItemIsTrimmedNormalisedNamedAndThenAcceptable() {
    Fixture f;
    auto form = f.Open({});
    QCOMPARE(form->windowTitle(), QString("新規アイテムのプロパティ"));
    QVERIFY(!Find<QPushButton>(form.get(), "OKBtn")->isEnabled());
    Type(form.get(), "hklm\\software\\\\");
    QCOMPARE(Find<QLineEdit>(form.get(), "BackEdit")->text(), QString("hklm\\software"));
    QCOMPARE(Keys(form.get()), QStringList{"HKLM\\software"});
    QCOMPARE(Find<QLineEdit>(form.get(), "NameEdit")->text(), QString("software"));
    QVERIFY(Find<QPushButton>(form.get(), "OKBtn")->isEnabled());
    QVERIFY(form->isVisible() || !form->result());  // Enter in the path box never closes
    QCOMPARE(f.items.Count(), 0);                   // the list changes only on OK
    QVERIFY(!f.state.DataModified);
    Find<QPushButton>(form.get(), "OKBtn")->click();
    QCOMPARE(f.items.Count(), 1);
    QCOMPARE(f.items.Items(0).Name, std::string("software"));
    QCOMPARE(f.items.Items(0).BackupKeys, std::vector<std::string>{"HKLM\\software"});
    QVERIFY(f.state.DataModified);
  }

  void aRootOverRegisteredSubkeysAsksAboutThem() {
    Fixture f;
    int item = f.Add("x", {"HKCU\\Software\\A", "HKCU\\Environment"});
    auto form = f.Open({item});
    f.prompts.answers = {PromptAnswer::No};
    Type(form.get(), "HKEY_CURRENT_USER");
    QVERIFY(f.prompts.shown.back().text.find(" 2 件登録されています。") != std::string::npos);
    QCOMPARE(Keys(form.get()).size(), 2);
    f.prompts.answers = {PromptAnswer::Yes};
    Type(form.get(), "HKEY_CURRENT_USER");
    QCOMPARE(Keys(form.get()), QStringList{"HKCU"});
    QCOMPARE(f.items.Items(item).BackupKeys.size(), std::size_t{2});  // only OK changes the list
    Find<QPushButton>(form.get(), "OKBtn")->click();
    QCOMPARE(f.items.Items(item).BackupKeys, std::vector<std::string>{"HKCU"});
  }

  void refusalsLeaveTheListAsItWas() {
    Fixture f;
    auto form = f.Open({f.Add("x", {"HKCU\\Software\\A"})});
    for (const char* path : {"hkcu\\software\\a\\b", "HKCU\\Software|NoSuchValue", "Nowhere"}) {
      Type(form.get(), path);
      QCOMPARE(Keys(form.get()), QStringList{"HKCU\\Software\\A"});
    }
    QCOMPARE(f.prompts.shown.size(), std::size_t{3});
    QCOMPARE(f.prompts.shown[0].caption, std::string("追加/変更エラー"));
    Type(form.get(), "HKCU\\Software\\AB");  // a sibling, not a descendant
    QCOMPARE(Keys(form.get()).size(), 2);
  }

  void whatTheDataFileCannotHoldIsRefusedAndNothingIsStored() {
    Fixture f;
    f.store.SetDword("HKCU\\Software\\Café", "v", 1);
    int item = f.Add("x", {"HKCU\\Software\\A"}, "note");
    auto form = f.Open({item});
    Type(form.get(), "HKCU\\Software\\Café");
    QCOMPARE(Keys(form.get()), QStringList{"HKCU\\Software\\A"});
    QCOMPARE(f.prompts.shown.back().text, KeyPathTextProblem("HKCU\\Software\\Café"));
    struct Case {
      const char *edit, *text;
    } cases[] = {{"NameEdit", "名前¥"}, {"CommentEdit", "two\nlines"}, {"CommentEdit", "〜"}};
    for (const Case& c : cases) {
      auto* edit = Find<QLineEdit>(form.get(), c.edit);
      edit->setFocus();
      edit->selectAll();
      QTest::keyClicks(edit, "a");  // typed, so that the comment counts as edited
      edit->setText(c.text);
      const std::size_t before = f.prompts.shown.size();
      Find<QPushButton>(form.get(), "OKBtn")->click();
      QCOMPARE(f.prompts.shown.size(), before + 1);
      QVERIFY(form->result() != QDialog::Accepted);
      edit->setText("ok");
    }
    QCOMPARE(f.items.Items(item).Name, std::string("x"));
    QCOMPARE(f.items.Items(item).Comment, std::string("note"));
  }

  void severalItemsShareOnlyWhatTheyHaveInCommon() {
    Fixture f;
    int a = f.Add("a", {"HKCU\\Software\\A"}, "note", false);
    int b = f.Add("b", {"HKCU\\Software\\AB"}, "NOTE", true);
    auto form = f.Open({a, b});
    QCOMPARE(form->windowTitle(), QString("2 件のアイテムのプロパティ"));
    QCOMPARE(Find<QLineEdit>(form.get(), "CommentEdit")->text(), QString("(変更しない)"));
    auto* flag = Find<QCheckBox>(form.get(), "NoDeleteCheck");
    QCOMPARE(flag->checkState(), Qt::PartiallyChecked);
    Find<QPushButton>(form.get(), "OKBtn")->click();
    QCOMPARE(f.items.Items(a).Comment, std::string("note"));  // never what the dialog wrote
    QVERIFY(!f.items.Items(a).NoDelete && f.items.Items(b).NoDelete);
    form = f.Open({a, b});
    flag = Find<QCheckBox>(form.get(), "NoDeleteCheck");
    flag->click();
    QCOMPARE(flag->checkState(), Qt::Checked);
    Find<QPushButton>(form.get(), "OKBtn")->click();
    QVERIFY(f.items.Items(a).NoDelete && f.items.Items(b).NoDelete);
  }

  void okChecksTheNameAndSortsTheKeys() {
    Fixture f;
    f.Add("foo", {"HKCU\\Software\\A"});
    int bar = f.Add("bar", {"HKCU\\Software\\AB"});
    auto form = f.Open({bar});
    Type(form.get(), "HKCU\\Environment");
    Find<QLineEdit>(form.get(), "NameEdit")->setText("FOO");
    Find<QPushButton>(form.get(), "OKBtn")->click();
    QCOMPARE(f.prompts.shown.back().text,
             std::string("指定された名前はすでに存在します。別の名前を指定してください。"));
    QCOMPARE(f.items.Items(bar).Name, std::string("bar"));
    Find<QLineEdit>(form.get(), "NameEdit")->setText("baz");
    Find<QPushButton>(form.get(), "OKBtn")->click();
    QCOMPARE(form->result(), int(QDialog::Accepted));
    QCOMPARE(f.items.Items(bar).BackupKeys,
             (std::vector<std::string>{"HKCU\\Environment", "HKCU\\Software\\AB"}));
  }

  void cancelAndTheCloseBoxUndo() {
    Fixture f;
    int old = f.Add("old", {"HKCU\\Software\\A"});
    auto form = f.Open({old});
    form->show();
    Type(form.get(), "HKCU\\Environment");
    form->close();  // the close box, as Cancel
    QCOMPARE(f.items.Items(old).BackupKeys, std::vector<std::string>{"HKCU\\Software\\A"});
    form = f.Open({});
    Type(form.get(), "HKCU\\Environment");
    Find<QPushButton>(form.get(), "CancelBtn")->click();
    QCOMPARE(f.items.Count(), 1);  // the new item never joined the list
    QVERIFY(!f.state.DataModified);
    QVERIFY(f.state.PropertyWidth > 0);  // the size goes back for the next dialog
  }

  void theAutomaticSplitterGivesTheList64Percent() {
    Fixture f;
    f.state.AutoSplitter = true;
    auto form = f.Open({f.Add("x", {"HKCU\\Environment"})});
    form->show();
    form->resize(800, 400);
    QApplication::processEvents();
    QCOMPARE(Find<QListWidget>(form.get(), "BackupKeyList")->width(), 512);
    form->close();
    QCOMPARE(f.state.PropertySplitter, 512);  // and the next dialog opens with it
  }

  void theTreeReadsOneLevelOnceAndSortsIt() {
    Fixture f;
    f.store.SetDword("HKCU\\software\\z", "v", 1);
    auto form = f.Open({f.Add("x", {"HKCU\\Environment"})});
    auto* tree = Find<QTreeWidget>(form.get(), "RegTree");
    QTreeWidgetItem* hkcu = tree->topLevelItem(1);
    QCOMPARE(hkcu->text(0), QString("HKEY_CURRENT_USER"));
    hkcu->setExpanded(true);
    QCOMPARE(hkcu->childCount(), 2);
    QCOMPARE(hkcu->child(0)->text(0), QString("Environment"));
    QCOMPARE(form->KeyOpens(), 3);  // the key and each of its two subkeys
    QCOMPARE(hkcu->child(0)->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
    QCOMPARE(hkcu->child(1)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    hkcu->setExpanded(false);
    hkcu->setExpanded(true);
    QCOMPARE(form->KeyOpens(), 3);
    tree->setCurrentItem(hkcu->child(1));
    QCOMPARE(Find<QLineEdit>(form.get(), "BackEdit")->text(),
             QString("HKEY_CURRENT_USER\\Software"));
  }

  void theValueListShowsTheDefaultFirstAndPicksByName() {
    Fixture f;
    const char* key = "HKCU\\Software\\V";
    for (const char* name : {"b", "C", "a"}) f.store.SetString(key, name, "text");
    f.store.SetString(key, "", "default");
    f.store.SetDword(key, "dw", 4294967295u);
    std::string picked = "-";
    TEntryListForm list(f.store, f.state, key, [&](const std::string& name) { picked = name; });
    auto* rows = Find<QTreeWidget>(&list, "EntryList");
    QStringList names;
    for (int i = 0; i < rows->topLevelItemCount(); ++i) names << rows->topLevelItem(i)->text(0);
    QCOMPARE(names, (QStringList{"(既定)", "a", "b", "C", "dw"}));
    QCOMPARE(rows->topLevelItem(4)->text(2), QString("$FFFFFFFF (4294967295)"));
    rows->setCurrentItem(rows->topLevelItem(0));
    QTest::keyClick(rows, Qt::Key_Return);
    QCOMPARE(picked, std::string());  // the default value: nothing after "|"
    QCOMPARE(ValueTypeText(kRegMultiSz), std::string("その他"));
    QCOMPARE(ValueDataText(kRegBinary, std::string(40, '\x0A')),
             std::string(32 * 3, ' ')
                     .replace(0, 96,
                              [] {
                                std::string s;
                                for (int i = 0; i < 32; ++i) s += "0A ";
                                return s;
                              }()) +
                 "...");
  }
};

}  // namespace tarnwick::ui

QTEST_MAIN(tarnwick::ui::PropertyFormTest)
#include "property_form_test.moc"

// The main window driven as a person would, headless: which commands are
// offered, what they leave on disk, and that boxes and file dialogs go
// through ports the test answers.
#include "ui/main_form.h"

#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "fake_ports.h"
#include "memory_store.h"
#include "scripted_prompts.h"
#include "temp_dir.h"
#include "ui/compare_form.h"
#include "ui/file_dialogs.h"
#include "ui/help.h"
#include "ui_fakes.h"

namespace tarnwick::ui {
namespace {

// Lets the test act while an export pumps messages.
class PumpingProgress : public test::FakeProgress {
 public:
  int starts = 0;
  std::function<void()> onPump;
  void StartProgress(const std::string& info, const std::string& caption, int max) override {
    ++starts;
    FakeProgress::StartProgress(info, caption, max);
  }
  void ProcessMessages() override {
    if (auto pump = std::exchange(onPump, nullptr)) pump();
  }
};

}  // namespace

class MainFormTest : public QObject {
  Q_OBJECT

 private:
  struct Fixture {
    test::TempDir dir;
    Session session;
    MemoryStore* store = nullptr;
    test::ScriptedPrompts prompts;
    ScriptedDialogs files;
    PumpingProgress progress;
    RecordingHelp help;
    std::unique_ptr<TMainForm> form;

    Fixture() {
      auto memory = std::make_unique<MemoryStore>();
      store = memory.get();
      store->SetDword("HKCU\\Software\\Foo", "v", 1);
      store->SetDword("HKCU\\Software\\Bar", "v", 2);
      session.store = std::move(memory);
      session.state.DataFileName = dir.File("items.dat");
      session.state.IniFileName = dir.File("tarnwick.ini");
      session.state.Settings.RegEditVer = 4;
      std::vector<std::string> foo{"HKCU\\Software\\Foo"}, bar{"HKCU\\Software\\Bar"};
      session.items.Add("foo", &foo, "", false);
      session.items.Add("bar", &bar, "", false);
      form = std::make_unique<TMainForm>(session, prompts, files, progress, help);
    }
    QAction* Act(const char* name) { return form->findChild<QAction*>(name); }
    // Writes a REG file, has the file dialog answer it, and picks the compare
    // command from the assist menu by its access key. look sees the dialog
    // it opens, which is then closed with Esc from the tree; false when no
    // dialog opened.
    bool CompareWith(const std::string& regText, const std::function<void(TCompareForm&)>& look) {
      files.answer = dir.File("backup.reg");
      test::WriteFileBytes(*files.answer, regText);
      bool opened = false;
      QTimer watcher;  // for as long as the command runs, and no longer
      watcher.setInterval(0);
      QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<TCompareForm*>(QApplication::activeModalWidget());
        if (!dialog || opened) return;
        opened = true;
        if (look) look(*dialog);
        QTest::keyClick(dialog->findChild<QTreeWidget*>("ChangeTree"), Qt::Key_Escape);
      });
      watcher.start();
      form->show();
      QTest::mouseClick(form->findChild<QPushButton*>("MenuBtn"), Qt::LeftButton);
      QTest::keyClick(form->findChild<QMenu*>("AssistPopupMenu"), Qt::Key_C);
      return opened;
    }
    QTreeWidget* List() { return form->findChild<QTreeWidget*>("BackList"); }
    void Select(int row) { List()->topLevelItem(row)->setSelected(true); }
  };
  std::unique_ptr<Fixture> f;

 private slots:
  void init() { f = std::make_unique<Fixture>(); }
  void cleanup() { f.reset(); }

  void commandsFollowTheListTheSelectionAndTheMode() {
    QVERIFY(f->Act("RegWriteAct")->isEnabled());
    QVERIFY(!f->Act("SelRegWriteAct")->isEnabled());
    QVERIFY(!f->Act("DeleteConfirmAct")->isEnabled());
    f->Select(1);
    QVERIFY(f->Act("SelRegWriteAct")->isEnabled());
    QVERIFY(f->Act("DeleteConfirmAct")->isEnabled());
    // Only the mode that differs from the stored one is offered.
    QVERIFY(f->Act("RegWrite2Act")->isVisible() && !f->Act("RegWrite1Act")->isVisible());
    f->session.state.Settings.Separate = true;
    f->form->UpdateActions();
    QVERIFY(f->Act("RegWrite1Act")->isVisible() && !f->Act("RegWrite2Act")->isVisible());
    // An empty list offers neither export nor delete.
    f->session.items.Clear();
    f->session.items.UpdateListView(*f->form);
    QVERIFY(!f->Act("RegWriteAct")->isEnabled());
    QVERIFY(f->Act("OpenFileAct")->isEnabled());
  }

  void addingOpensTheNewItemsDialogAndCancelLeavesTheListAsBefore() {
    QString title;
    QTimer::singleShot(0, [&] {  // answers the modal dialog the action opens
      QWidget* dialog = QApplication::activeModalWidget();
      QVERIFY(dialog);
      title = dialog->windowTitle();
      QTest::keyClick(dialog, Qt::Key_Escape);
    });
    f->Act("AddAct")->trigger();
    QCOMPARE(title, QString("新規アイテムのプロパティ"));
    QCOMPARE(f->session.items.Count(), 2);
    QCOMPARE(f->List()->topLevelItemCount(), 2);
  }

  void aForcedModeExportsOnceAndKeepsTheStoredMode() {
    f->Act("RegWrite2Act")->trigger();
    QVERIFY(test::FileExists(f->dir.File("Foo.reg")));
    QVERIFY(test::FileExists(f->dir.File("Bar.reg")));
    QVERIFY(!f->session.state.Settings.Separate);
    QVERIFY(!f->session.state.DataModified);
    // What was put in place, read back and checked, stays in sight.
    QVERIFY(f->form->findChild<QLabel*>("CheckedLabel")->text().startsWith("検証済み: キー "));
  }

  void whatTheBackupCouldNotKeepIsShownInOneBoxModalToTheMainWindowOnly() {
    f->store->SetDword("HKCU\\Software\\Foo\\Locked", "v", 1);
    f->store->SetUnreadable("HKCU\\Software\\Foo\\Locked");
    f->Act("RegWriteAct")->trigger();
    auto* box = f->form->findChild<QMessageBox*>("ExportLossBox");
    QVERIFY(box);
    QVERIFY(box->isVisible());
    QCOMPARE(box->windowModality(), Qt::WindowModal);
    QVERIFY(box->text().contains("HKEY_CURRENT_USER\\Software\\Foo\\Locked"));
    QVERIFY(f->prompts.shown.empty());  // no application-modal box besides
    box->accept();
  }

  void deleteAsksFirstWhenConfirmDeleteIsOn() {
    f->session.state.ConfirmDelete = true;
    f->Select(0);
    f->prompts.answers = {PromptAnswer::No};
    f->Act("DeleteConfirmAct")->trigger();
    QCOMPARE(f->session.items.Count(), 2);
    f->prompts.answers = {PromptAnswer::Yes};
    QTest::keyClick(f->List(), Qt::Key_Delete);
    QCOMPARE(f->session.items.Count(), 1);
    QCOMPARE(f->session.items.Items(0).Name, std::string("bar"));
    QVERIFY(f->session.state.DataModified);
    QVERIFY(!f->Act("DeleteConfirmAct")->isEnabled());  // no row is selected after it
  }

  void aColumnSortsAscendingThenDescending() {
    QHeaderView* header = f->List()->header();
    emit header->sectionClicked(0);
    QCOMPARE(f->List()->topLevelItem(0)->text(0), QString("bar"));
    emit header->sectionClicked(0);
    QCOMPARE(f->List()->topLevelItem(0)->text(0), QString("foo"));
    QVERIFY(f->session.state.DataModified);
  }

  void exportingSelectedItemsProposesOneItemsFileName() {
    f->Select(0);
    f->files.answer = f->dir.File("chosen.reg");
    f->Act("SelRegWriteAct")->trigger();
    QCOMPARE(f->files.proposed, std::string("Foo.reg"));
    QVERIFY(test::FileExists(f->dir.File("chosen.reg")));
    QVERIFY(f->session.state.Settings.RegFileName.empty());  // never kept
    f->Select(1);
    f->files.answer = std::nullopt;  // cancelled: nothing is written
    f->Act("SelRegWriteAct")->trigger();
    QCOMPARE(f->files.proposed, std::string());  // two items: no name proposed
  }

  void openingADataFileThatDoesNotExistGivesANewList() {
    f->files.answer = f->dir.File("new.dat");
    f->Act("OpenFileAct")->trigger();
    QCOMPARE(f->List()->topLevelItemCount(), 0);
    QCOMPARE(f->session.state.DataFileName, f->dir.File("new.dat"));
    QVERIFY(f->session.state.DataModified);  // so that closing creates it
  }

  void aDataFileThatCannotBeSavedDoesNotKeepTheWindowOpen() {
    test::WriteFileBytes(f->dir.File("items.dat"), "[Tarnwick]\r\nVersion=205\r\n");
    chmod(f->dir.File("items.dat").c_str(), 0444);  // refused by mode, even for root
    f->session.state.DataModified = true;
    f->form->show();
    QVERIFY(f->form->close());  // Retry/Cancel answered Cancel
    QCOMPARE(f->prompts.shown.front().caption, std::string("保存エラー"));
    QVERIFY(f->prompts.shown.front().text.ends_with("\r\nファイルへのアクセスが拒否されました"));
    QVERIFY(test::FileExists(f->dir.File("tarnwick.ini")));  // the settings were still saved
  }

  void withoutAProgressDisplayTheCommandsWaitForTheExport() {
    f->session.state.ProgressOff = true;
    bool heldDuringTheRun = false;
    f->progress.onPump = [this, &heldDuringTheRun] {
      heldDuringTheRun = !f->Act("OpenFileAct")->isEnabled() && !f->Act("AddAct")->isEnabled();
    };
    f->Act("RegWriteAct")->trigger();
    QVERIFY(heldDuringTheRun);
    QVERIFY(f->Act("OpenFileAct")->isEnabled());
  }

  void aCancelledExportLeavesTheEarlierFile() {
    test::WriteFileBytes(f->dir.File("items.reg"), "earlier");
    f->progress.cancelAtCheck = 1;
    f->Act("RegWriteAct")->trigger();
    QCOMPARE(test::ReadFileBytes(f->dir.File("items.reg")), std::string("earlier"));
    QVERIFY(f->prompts.shown.empty());  // a cancel is silent
    QVERIFY(f->form->findChild<QLabel*>("CheckedLabel")->text().isEmpty());
  }

  void noSecondExportStartsWhileOneRuns() {
    f->progress.onPump = [this] { f->Act("RegWriteAct")->trigger(); };
    f->Act("RegWriteAct")->trigger();
    QCOMPARE(f->progress.starts, 1);
    QVERIFY(test::FileExists(f->dir.File("items.reg")));
    QVERIFY(f->Act("RegWriteAct")->isEnabled());  // and the next one may start
  }

  void comparingWithARegFileShowsEachChangeBelowItsKeyAndTheCounts() {
    QStringList rows;
    QString counts, caption;
    QStringList notes;
    bool treeFocused = false;
    QVERIFY(f->CompareWith(
        "REGEDIT4\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Foo]\r\n\"v\"=dword:00000005\r\n\"w\"=\"new\"\r\n"
        "\"bad\"=foo:12\r\n\r\n"
        "[-HKEY_CURRENT_USER\\Software\\Bar]\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Baz]\r\n@=\"x\"\r\n",
        [&](TCompareForm& dialog) {
          caption = dialog.windowTitle();
          auto* tree = dialog.findChild<QTreeWidget*>("ChangeTree");
          treeFocused = dialog.focusWidget() == tree;
          for (QTreeWidgetItemIterator it(tree); *it; ++it) {
            const QTreeWidgetItem* row = *it;
            QString shown = QString(row->parent() ? "  " : "") + row->text(0);
            for (int k = 1; k < 4; ++k) shown += " | " + row->text(k);
            rows << shown;
            QVERIFY(!row->text(1).isEmpty() == !row->icon(0).isNull());
          }
          counts = dialog.findChild<QLabel*>("CountLabel")->text();
          auto* list = dialog.findChild<QListWidget*>("NoteList");
          for (int i = 0; i < list->count(); ++i) notes << list->item(i)->text();
        }));
    QCOMPARE(caption, QString("REG ファイルと比較 - backup.reg"));
    QVERIFY(treeFocused);
    QCOMPARE(rows, (QStringList{
                       "HKEY_CURRENT_USER\\Software\\Bar | 削除 |  | ",
                       "  v | 削除 |  | dword:00000002",
                       "HKEY_CURRENT_USER\\Software\\Baz | 追加 |  | ",
                       "  (既定) | 追加 | \"x\" | ",
                       "HKEY_CURRENT_USER\\Software\\Foo |  |  | ",
                       "  v | 変更 | dword:00000005 | dword:00000001",
                       "  w | 追加 | \"new\" | ",
                   }));
    QCOMPARE(counts, QString("インポートで変わるもの: キーの追加 1、キーの削除 1、値の追加 2、"
                             "値の変更 1、値の削除 1"));
    QCOMPARE(notes,
             QStringList{"インポートで読み飛ばされる行: backup.reg の 6 行目: 不明なデータ型です"});
    QVERIFY(!QApplication::overrideCursor());
  }

  void aFileThatChangesNothingSaysSo() {
    QString counts;
    bool notesShown = true;
    int rows = -1;
    QVERIFY(
        f->CompareWith("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Foo]\r\n"
                       "\"v\"=dword:00000001\r\n",
                       [&](TCompareForm& dialog) {
                         rows = dialog.findChild<QTreeWidget*>("ChangeTree")->topLevelItemCount();
                         counts = dialog.findChild<QLabel*>("CountLabel")->text();
                         notesShown = !dialog.findChild<QListWidget*>("NoteList")->isHidden();
                       }));
    QCOMPARE(rows, 0);
    QCOMPARE(counts, QString("インポートしても、レジストリは何も変わりません。"));
    QVERIFY(!notesShown);
  }

  void aFileThatCannotBeReadIsNamedInAnErrorBoxAndNoDialogOpens() {
    QVERIFY(!f->CompareWith("not a registry file\r\n", nullptr));
    QCOMPARE(f->prompts.shown.size(), std::size_t(1));
    QVERIFY(f->prompts.shown.front().text.starts_with(f->dir.File("backup.reg")));
    QVERIFY(!QApplication::overrideCursor());
  }

  void helpOpensAtTheDefaultTopicAndAtThisWindowsPage() {
    f->form->findChild<QAction*>("HelpItem")->trigger();
    f->form->findChild<QAction*>("HelpMainItem")->trigger();
    QCOMPARE(f->help.asked, (std::vector<int>{kHelpDefaultTopic, 14}));
    QCOMPARE(HelpPageFor(14), std::string("main-window.html"));
    QCOMPARE(HelpPageFor(36), std::string("options.html"));
    QCOMPARE(HelpPageFor(62), std::string("property.html"));
    QCOMPARE(HelpPageFor(kHelpDefaultTopic), std::string("index.html"));
  }

  void aPlaceOffEveryScreenIsNeitherUsedNorSavedBack() {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    struct Case {
      QRect saved;
      bool kept;
    } cases[] = {
        {{50000, 40, 500, 300}, false},
        {{-50000, -50000, 500, 300}, false},
        {{screen.left() + 10, screen.top() - 200, 500, 300}, false},  // its top above the screen
        {{screen.left() + 10, screen.top() + 20, 500, 300}, true},
    };
    for (const Case& c : cases) {
      MainWindowGeometry& window = f->session.state.Window;
      window = {c.saved.left(), c.saved.top(), c.saved.width(), c.saved.height()};
      f->form = std::make_unique<TMainForm>(f->session, f->prompts, f->files, f->progress, f->help);
      f->form->show();
      QVERIFY(screen.intersects(f->form->geometry()));
      f->form->close();
      QCOMPARE(QRect(window.Left, window.Top, window.Width, window.Height) == c.saved, c.kept);
      QVERIFY(screen.contains(QPoint(window.Left, window.Top)));
    }
  }

  void closingSavesTheDataFileThenTheSettingsWithTheWindowsPlace() {
    f->session.state.DataModified = true;
    f->form->show();
    f->form->setGeometry(40, 50, 600, 420);
    f->List()->setColumnWidth(2, 111);
    f->form->close();
    QCOMPARE(f->session.state.Window.Width, 600);
    QCOMPARE(f->session.state.Window.BackListColumns[2], 111);
    QVERIFY(test::ReadFileBytes(f->dir.File("items.dat")).find("foo=HKCU\\Software\\Foo,,0") !=
            std::string::npos);
    QVERIFY(test::ReadFileBytes(f->dir.File("tarnwick.ini")).find("BackList2=111") !=
            std::string::npos);
  }
};

}  // namespace tarnwick::ui

QTEST_MAIN(tarnwick::ui::MainFormTest)
#include "main_form_test.moc"

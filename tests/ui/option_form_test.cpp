// The options dialog: how the settings map to its controls and back, the
// three-state version box, and the defaults button.
#include "ui/option_form.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "scripted_prompts.h"
#include "ui/file_dialogs.h"
#include "ui_fakes.h"

namespace tarnwick::ui {
class OptionFormTest : public QObject {
  Q_OBJECT

  ProgramState state;
  test::ScriptedPrompts prompts;
  ScriptedDialogs files;
  RecordingHelp help;

  template <typename T>
  T* Find(QDialog& form, const char* name) {
    return form.findChild<T*>(name);
  }

 private slots:
  void init() {
    state = ProgramState();
    prompts = test::ScriptedPrompts();
    files.answer = "/backup/all.reg";
  }

  void okStoresEveryFieldAndAlwaysMarksTheDataFile() {
    state.Settings.RegEditVer = 0;
    TOptionForm form(state, prompts, files, help, 5);
    QCOMPARE(Find<QCheckBox>(form, "RegEdit5Check")->checkState(), Qt::PartiallyChecked);
    Find<QCheckBox>(form, "SeparateCheck")->setChecked(true);
    Find<QCheckBox>(form, "ConfirmDeleteCheck")->setChecked(true);
    Find<QPushButton>(form, "RegFileBrowseBtn")->click();
    Find<QPushButton>(form, "HelpBtn")->click();
    QCOMPARE(help.asked, std::vector<int>{36});
    Find<QPushButton>(form, "OKBtn")->click();
    QCOMPARE(state.Settings.RegEditVer, 0);  // automatic stays automatic
    QVERIFY(state.Settings.Separate);
    QCOMPARE(state.Settings.RegFileName, std::string("/backup/all.reg"));
    QVERIFY(state.ConfirmDelete);
    QVERIFY(state.DataModified);
  }

  void anOddVersionShowsUncheckedAndIsStoredAs4() {
    state.Settings.RegEditVer = 3;
    TOptionForm form(state, prompts, files, help, 5);
    QCOMPARE(Find<QCheckBox>(form, "RegEdit5Check")->checkState(), Qt::Unchecked);
    Find<QPushButton>(form, "OKBtn")->click();
    QCOMPARE(state.Settings.RegEditVer, 4);
  }

  void theVersionBoxCyclesAndEnablesLineBreaksOnlyForVersion5() {
    state.Settings.RegEditVer = 4;
    for (int automatic : {4, 5}) {
      TOptionForm form(state, prompts, files, help, automatic);
      auto* version = Find<QCheckBox>(form, "RegEdit5Check");
      auto* newLines = Find<QCheckBox>(form, "NewLineImportCheck");
      QVERIFY(!newLines->isEnabled());
      version->click();
      QCOMPARE(version->checkState(), Qt::PartiallyChecked);
      QCOMPARE(newLines->isEnabled(), automatic == 5);
      version->click();
      QCOMPARE(version->checkState(), Qt::Checked);
      QVERIFY(newLines->isEnabled());
      version->click();
      QCOMPARE(version->checkState(), Qt::Unchecked);
    }
  }

  void defaultsTakeEffectAtOnceAndCancelKeepsTheSettings() {
    TOptionForm form(state, prompts, files, help, 5);
    Find<QCheckBox>(form, "FullRestoreCheck")->setChecked(true);
    prompts.answers = {PromptAnswer::No};
    Find<QPushButton>(form, "DefaultBtn")->click();
    QVERIFY(!state.DefaultSettings.FullRestore);
    prompts.answers = {PromptAnswer::Yes};
    Find<QPushButton>(form, "DefaultBtn")->click();
    QVERIFY(state.DefaultSettings.FullRestore);
    Find<QPushButton>(form, "CancelBtn")->click();
    QVERIFY(!state.Settings.FullRestore);
    QVERIFY(!state.DataModified);
  }
};

}  // namespace tarnwick::ui

QTEST_MAIN(tarnwick::ui::OptionFormTest)
#include "option_form_test.moc"

// Renders each window of the program, with the Japanese font, into PNG files
// in the given folder: the main window with the example items, the progress
// dialog, both pages of the options dialog, the property dialog, the value
// list, the comparison with a REG file and the about box. Run with QT_QPA_PLATFORM=offscreen on
// Linux; on Windows (or Wine) the example keys are read from the live registry, where
// tests/windows/wine_screenshots.sh puts them.
//   tarnwick_screenshots OUTPUT_FOLDER
#include <QApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QTabWidget>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>

#include "app/registry_source.h"
#include "backitem/startup.h"
#include "common/path_utils.h"
#include "platform/single_instance.h"
#include "regread/reg_compare.h"
#include "ui/about_form.h"
#include "ui/compare_form.h"
#include "ui/entry_list_form.h"
#include "ui/file_dialogs.h"
#include "ui/help.h"
#include "ui/main_form.h"
#include "ui/message_boxes.h"
#include "ui/option_form.h"
#include "ui/progress_form.h"
#include "ui/property_form.h"
#include "ui/window_main.h"

namespace {

using namespace tarnwick;

class ShotPorts : public StartupPorts {
 public:
  bool AcquireInstanceLock() override { return true; }
  std::unique_ptr<RegistryStore> OpenRegistrySource(const std::string& path) override {
    return app::OpenRegistrySource(path);
  }
  PromptPort& Prompts() override { return prompts_; }

 private:
  ui::MessageBoxes prompts_;
};

bool Save(QWidget& widget, const QString& file) {
  bool ok = widget.grab().save(file);
  std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(file));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fputs("usage: tarnwick_screenshots OUTPUT_FOLDER\n", stderr);
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]) + "/";
  ui::UseJapaneseFont();
  Session session;
  ShotPorts ports;
  // Names in the platform's own form: Windows' path rules split at '\' only.
  auto path = [](std::string folder, const std::string& name) {
    std::replace(folder.begin(), folder.end(), '/', kPathDelim);
    return folder + kPathDelim + name;
  };
  StartupInput input{path(argv[1], "tarnwick"),
                     {path(TARNWICK_EXAMPLES, "example.dat"), "-i" + path(argv[1], "x.ini")},
                     "",
                     "",
                     ""};
#ifndef _WIN32
  input.arguments.push_back("-r" + path(TARNWICK_EXAMPLES, "wine-prefix"));
#endif
  // The example prefix has no update-checker key, so start-up registers nothing.
  if (StartProgram(session, input, ports) != StartupOutcome::Started) return 1;
  ui::QtFileDialogs files;
  ui::TProgressForm progress(session.state.ProgressOff);
  ui::DesktopHelp help("");
  ui::TMainForm form(session, ports.Prompts(), files, progress, help);
  form.show();
  QApplication::processEvents();
  bool ok = Save(form, out + "main-window.png");
  progress.StartProgress("書き出し中...", "REGファイル書き出し", 100);
  progress.SetProgress(45);
  QApplication::processEvents();
  ok = Save(progress, out + "progress.png") && ok;
  progress.CloseProgress();
  ui::TOptionForm options(session.state, ports.Prompts(), files, help, 5, &form);
  options.show();
  QApplication::processEvents();
  ok = Save(options, out + "options-data-file.png") && ok;
  options.findChild<QTabWidget*>("PageControl")->setCurrentIndex(1);
  QApplication::processEvents();
  ok = Save(options, out + "options-common.png") && ok;
  ui::TPropertyForm property(session.state, session.items, *session.store, {0}, form,
                             ports.Prompts(), help, &form);
  property.show();
  auto* tree = property.findChild<QTreeWidget*>("RegTree");
  QTreeWidgetItem* hkcu = tree->topLevelItem(1);
  hkcu->setExpanded(true);
  for (int i = 0; i < hkcu->childCount(); ++i) {
    if (hkcu->child(i)->text(0) == "Software") {
      hkcu->child(i)->setExpanded(true);
      tree->setCurrentItem(hkcu->child(i));
    }
  }
  QApplication::processEvents();
  ok = Save(property, out + "property.png") && ok;
  // It deletes itself when it closes, as when another window takes the focus.
  auto* values = new ui::TEntryListForm(
      *session.store, session.state, "HKCU\\Software\\ExampleSoft\\Editor",
      [](const std::string&) {}, &property);
  values->show();
  QApplication::processEvents();
  ok = Save(*values, out + "value-list.png") && ok;
  values->close();
  // A backup of the example keys, made before some of them changed.
  const RegImport import = ReadRegText(
      "REGEDIT4\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\ExampleSoft\\Editor]\r\n"
      "\"FontSize\"=dword:0000000a\r\n\"Theme\"=\"dark\"\r\n\"Zoom\"=percent:120\r\n"
      "\"WindowPos\"=hex:64,00,00,00,c8,00,00,00,00,04,00,00,00,03,00,00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\ExampleSoft\\Player]\r\n"
      "@=\"Example Player\"\r\n\"Volume\"=dword:00000050\r\n\r\n"
      "[-HKEY_CURRENT_USER\\Software\\ExampleSoft\\Viewer]\r\n",
      "ExampleSoft.reg");
  ui::TCompareForm compare("ExampleSoft.reg", CompareRegImport(import, *session.store), &form);
  compare.show();
  QApplication::processEvents();
  ok = Save(compare, out + "compare.png") && ok;
  compare.close();
  ExportLosses losses;
  losses.Add({LossKind::UnreadableKey, "HKEY_LOCAL_MACHINE\\Software\\ExampleSoft\\Secret",
              std::nullopt, "開けません"});
  losses.Add({LossKind::NotInCp932, "HKEY_CURRENT_USER\\Software\\ExampleSoft\\Editor",
              std::string("森鷗外"), ""});
  losses.Add({LossKind::LineBreak, "HKEY_CURRENT_USER\\Software\\ExampleSoft\\Editor",
              std::string("Memo"), ""});
  QMessageBox* lossBox = ui::OpenExportLossBox(&form, losses);
  QApplication::processEvents();
  ok = Save(*lossBox, out + "export-losses.png") && ok;
  lossBox->close();
  QMessageBox saveError(QMessageBox::Critical, "保存エラー",
                        "ファイル '" + QString::fromStdString(session.state.DataFileName) +
                            "' が保存できません。\nファイルへのアクセスが拒否されました",
                        QMessageBox::Retry | QMessageBox::Cancel, &form);
  ui::NameButtonsInJapanese(saveError);
  saveError.show();
  QApplication::processEvents();
  ok = Save(saveError, out + "save-error.png") && ok;
  saveError.close();
  ui::TAboutForm about(&form);
  about.show();
  QApplication::processEvents();
  ok = Save(about, out + "about.png") && ok;
  form.hide();  // nothing is saved: the example stays as it is
  return ok ? 0 : 1;
}

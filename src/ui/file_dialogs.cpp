#include "ui/file_dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "ui/message_boxes.h"

namespace tarnwick::ui {
namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// A file that exists but cannot be written is refused, as the dialog asks
// again; false then.
bool Writable(const QString& name) {
  QFileInfo info(name);
  if (!info.exists() || info.isWritable()) return true;
  RunMessageBox(
      QMessageBox::Warning, "Tarnwick",
      QString("%1\nこのファイルは読み取り専用です。別の名前を指定してください。").arg(name));
  return false;
}

std::optional<std::string> Chosen(const QString& name) {
  if (name.isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(name).toStdString();
}

}  // namespace

std::optional<std::string> QtFileDialogs::SaveRegFile(const std::string& folder,
                                                      const std::string& proposedName) {
  QFileDialog dialog(QApplication::activeWindow(), "選択REG書き出し", Q(folder));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters({"登録ファイル (*.reg)", "すべてのファイル (*)"});
  dialog.setDefaultSuffix("reg");
  dialog.setOption(QFileDialog::DontConfirmOverwrite);  // the export keeps a backup
  dialog.selectFile(Q(proposedName));
  for (;;) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    if (Writable(dialog.selectedFiles().front())) return Chosen(dialog.selectedFiles().front());
  }
}

std::optional<std::string> QtFileDialogs::ChooseFolder(const std::string& prompt,
                                                       const std::string& folder) {
  for (;;) {
    QString chosen =
        QFileDialog::getExistingDirectory(QApplication::activeWindow(), Q(prompt), Q(folder));
    if (chosen.isEmpty()) return std::nullopt;
    if (QFileInfo(chosen).isDir()) return Chosen(chosen);
    // A typed folder that does not exist is refused, and the chooser opens again.
    RunMessageBox(QMessageBox::Critical, "Tarnwick", "指定されたフォルダは存在しません。");
  }
}

std::optional<std::string> QtFileDialogs::OpenDataFile(const std::string& folder) {
  QFileDialog dialog(QApplication::activeWindow(), "データ ファイルを開く", Q(folder));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters({"データ ファイル (*.dat)", "すべてのファイル (*)"});
  dialog.setDefaultSuffix("dat");
  QString name;
  do {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    name = dialog.selectedFiles().front();
  } while (!Writable(name));
  if (!QFileInfo::exists(name) &&
      RunMessageBox(QMessageBox::Question, "データ ファイルを開く",
                    QString("%1 は存在しません。\n作成しますか?").arg(name),
                    QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
    return std::nullopt;
  }
  return Chosen(name);
}

std::optional<std::string> QtFileDialogs::BrowseRegFile(const std::string& folder,
                                                        const std::string& name) {
  QFileDialog dialog(QApplication::activeWindow(), "ファイルの参照", Q(folder));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);  // the file need not exist
  dialog.setNameFilters({"登録ファイル (*.reg)", "すべてのファイル (*)"});
  dialog.selectFile(Q(name));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return Chosen(dialog.selectedFiles().front());
}

std::optional<std::string> QtFileDialogs::OpenRegFile(const std::string& folder) {
  QFileDialog dialog(QApplication::activeWindow(), "REG ファイルを開く", Q(folder));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({"登録ファイル (*.reg)", "すべてのファイル (*)"});
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return Chosen(dialog.selectedFiles().front());
}

}  // namespace tarnwick::ui

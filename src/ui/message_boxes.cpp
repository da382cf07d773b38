#include "ui/message_boxes.h"

#include <QApplication>
#include <QMessageBox>

namespace tarnwick::ui {
namespace {

QMessageBox::Icon IconOf(PromptIcon icon) {
  switch (icon) {
    case PromptIcon::Error:
      return QMessageBox::Critical;
    case PromptIcon::Warning:
      return QMessageBox::Warning;
    case PromptIcon::Information:
      return QMessageBox::Information;
    case PromptIcon::Question:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

// The core writes CR LF; a label wants LF.
QString TextOf(const std::string& text) {
  return QString::fromStdString(text).replace("\r\n", "\n");
}

QMessageBox::StandardButton Ask(const std::string& text, const std::string& caption,
                                PromptIcon icon, QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton defaultButton) {
  QMessageBox box(IconOf(icon), caption.empty() ? "Tarnwick" : QString::fromStdString(caption),
                  TextOf(text), buttons, QApplication::activeWindow());
  box.setDefaultButton(defaultButton);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

void MessageBoxes::ShowMessage(const std::string& text, const std::string& caption,
                               PromptIcon icon) {
  Ask(text, caption, icon, QMessageBox::Ok, QMessageBox::Ok);
}

PromptAnswer MessageBoxes::AskRetryCancel(const std::string& text, const std::string& caption) {
  return Ask(text, caption, PromptIcon::Error, QMessageBox::Retry | QMessageBox::Cancel,
             QMessageBox::Retry) == QMessageBox::Retry
             ? PromptAnswer::Retry
             : PromptAnswer::Cancel;
}

PromptAnswer MessageBoxes::AskYesNo(const std::string& text, const std::string& caption,
                                    PromptIcon icon) {
  return Ask(text, caption, icon, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
                 QMessageBox::Yes
             ? PromptAnswer::Yes
             : PromptAnswer::No;
}

}  // namespace tarnwick::ui

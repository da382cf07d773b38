#include "ui/message_boxes.h"

#include <QAbstractButton>
#include <QApplication>

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
  return RunMessageBox(IconOf(icon), caption.empty() ? "Tarnwick" : QString::fromStdString(caption),
                       TextOf(text), buttons, defaultButton);
}

}  // namespace

// With the access keys Windows' own boxes give: Alt+Y, Alt+N, Alt+R.
void NameButtonsInJapanese(QMessageBox& box) {
  static const struct {
    QMessageBox::StandardButton button;
    const char* text;
  } kNames[] = {{QMessageBox::Ok, "OK"},
                {QMessageBox::Cancel, "キャンセル"},
                {QMessageBox::Retry, "再試行(&R)"},
                {QMessageBox::Yes, "はい(&Y)"},
                {QMessageBox::No, "いいえ(&N)"}};
  for (const auto& name : kNames) {
    if (QAbstractButton* button = box.button(name.button)) button->setText(name.text);
  }
}

QMessageBox::StandardButton RunMessageBox(QMessageBox::Icon icon, const QString& caption,
                                          const QString& text, QMessageBox::StandardButtons buttons,
                                          QMessageBox::StandardButton defaultButton) {
  QMessageBox box(icon, caption, text, buttons, QApplication::activeWindow());
  NameButtonsInJapanese(box);
  if (defaultButton != QMessageBox::NoButton) box.setDefaultButton(defaultButton);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

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

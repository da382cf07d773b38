// The prompt port as message boxes owned by the active window.
#pragma once

#include <QMessageBox>

#include "common/ports.h"

namespace tarnwick::ui {

// Names the box's standard buttons in Japanese: Qt's own texts are English
// when no translator is installed, as here.
void NameButtonsInJapanese(QMessageBox& box);

// A modal box over the active window, its buttons named in Japanese.
QMessageBox::StandardButton RunMessageBox(
    QMessageBox::Icon icon, const QString& caption, const QString& text,
    QMessageBox::StandardButtons buttons = QMessageBox::Ok,
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

class MessageBoxes : public PromptPort {
 public:
  void ShowMessage(const std::string& text, const std::string& caption, PromptIcon icon) override;
  PromptAnswer AskRetryCancel(const std::string& text, const std::string& caption) override;
  PromptAnswer AskYesNo(const std::string& text, const std::string& caption,
                        PromptIcon icon) override;
};

}  // namespace tarnwick::ui

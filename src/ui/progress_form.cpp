#include "ui/progress_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include "common/errors.h"

namespace tarnwick::ui {

TProgressForm::TProgressForm(const bool& progressOff, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      progressOff_(progressOff),
      InfoText(new QLabel(this)),
      ProgressText(new QLabel(this)),
      ProgressBar(new QProgressBar(this)),
      CancelBtn(new QPushButton("キャンセル", this)) {
  setObjectName("ProgressForm");
  setModal(false);
  setFixedSize(357, 100);
  InfoText->setObjectName("InfoText");
  InfoText->setGeometry(26, 16, 231, 14);
  ProgressText->setObjectName("ProgressText");
  ProgressText->setGeometry(258, 16, 73, 14);
  ProgressText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  ProgressBar->setObjectName("ProgressBar");
  ProgressBar->setGeometry(26, 36, 305, 17);
  ProgressBar->setRange(0, 100);
  ProgressBar->setTextVisible(false);
  CancelBtn->setObjectName("CancelBtn");
  CancelBtn->setGeometry(134, 68, 83, 23);
  connect(CancelBtn, &QPushButton::clicked, this, &TProgressForm::CancelBtnClick);
}

void TProgressForm::StartProgress(const std::string& info, const std::string& caption, int max) {
  if (progressOff_) return;
  setWindowTitle(QString::fromStdString(caption));
  InfoText->setText(QString::fromStdString(info));
  ProgressBar->setMaximum(max);
  ProgressBar->setValue(0);
  UpdatePercentText();
  CancelBtn->setText("キャンセル");
  CancelRequested = false;
  DisabledForm = QApplication::activeWindow();
  if (DisabledForm == this) DisabledForm = parentWidget();
  active_ = true;
  // Centred on the screen, as the window that started the run may move.
  move(screen()->availableGeometry().center() - rect().center());
  show();
  repaint();
  if (DisabledForm) DisabledForm->setEnabled(false);
  CancelBtn->setFocus();
}

void TProgressForm::SetProgress(int position) {
  if (progressOff_) return;
  CheckCancel();
  if (!isVisible()) return;
  ProgressBar->setValue(std::clamp(position, ProgressBar->minimum(), ProgressBar->maximum()));
  UpdatePercentText();
}

void TProgressForm::FinishProgress(const std::string& note) {
  if (progressOff_) return;
  CheckCancel();
  if (!isVisible()) return;
  ProgressBar->setValue(ProgressBar->maximum());
  InfoText->setText(QString::fromStdString("終了しました。" + note));
  ProgressText->clear();
  close();
}

void TProgressForm::CloseProgress() {
  if (!active_) return;
  active_ = false;
  hide();
  EnableDisabledForm();
}

void TProgressForm::CheckCancel() {
  if (progressOff_ || !CancelRequested) return;
  CancelRequested = false;
  throw EProgressCanceled();
}

void TProgressForm::ProcessMessages() {
  if (!progressOff_) QApplication::processEvents();
}

void TProgressForm::closeEvent(QCloseEvent* event) {
  // The close box hides the dialog and gives the window back, but does not
  // cancel: the run goes on to its end.
  EnableDisabledForm();
  event->accept();
}

void TProgressForm::reject() {
  CancelBtnClick();
}

void TProgressForm::CancelBtnClick() {
  CancelRequested = true;
}

void TProgressForm::UpdatePercentText() {
  int max = ProgressBar->maximum() > 0 ? ProgressBar->maximum() : 1;
  ProgressText->setText(QString("%1% 完了").arg(ProgressBar->value() * 100 / max));
}

void TProgressForm::EnableDisabledForm() {
  if (DisabledForm) DisabledForm->setEnabled(true);
  DisabledForm = nullptr;
}

}  // namespace tarnwick::ui

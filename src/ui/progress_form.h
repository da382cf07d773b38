// TProgressForm: the small modeless window that shows an export's progress
// and lets the user cancel it. It disables the window that was active while
// it runs; the cancel button (or Esc) only records the request, which the
// export meets at its next check, on its own call path.
#pragma once

#include <QDialog>

#include "common/ports.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace tarnwick::ui {

class TProgressForm : public QDialog, public ProgressPort {
  Q_OBJECT

 public:
  // progressOff is read at each start: while it is set, every operation
  // returns at once, nothing is shown and nothing can be cancelled.
  TProgressForm(const bool& progressOff, QWidget* parent = nullptr);

  void StartProgress(const std::string& info, const std::string& caption, int max) override;
  void SetProgress(int position) override;
  void FinishProgress(const std::string& note) override;
  void CloseProgress() override;
  void CheckCancel() override;
  void ProcessMessages() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;  // Esc: as the cancel button

 private:
  void CancelBtnClick();
  void UpdatePercentText();
  void EnableDisabledForm();

  const bool& progressOff_;
  bool active_ = false;  // started and not yet closed by the run
  bool CancelRequested = false;
  QWidget* DisabledForm = nullptr;
  QLabel* InfoText;
  QLabel* ProgressText;
  QProgressBar* ProgressBar;
  QPushButton* CancelBtn;
};

}  // namespace tarnwick::ui

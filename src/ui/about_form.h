// TAboutForm: the about box, with the program's icon, version (its build in
// a tool tip) and the maker's addresses as links the desktop opens.
#pragma once

#include <QDialog>
#include <QUrl>
#include <functional>

class QLabel;

namespace tarnwick::ui {

class TAboutForm : public QDialog {
  Q_OBJECT

 public:
  using LinkOpener = std::function<void(const QUrl&)>;
  // openLink: how a clicked address is opened; the desktop's handler by default.
  explicit TAboutForm(QWidget* parent = nullptr, LinkOpener openLink = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LinkLabelClick(QLabel* label);

  LinkOpener openLink_;
  QLabel* MailLabel;
  QLabel* URLLabel;
};

}  // namespace tarnwick::ui

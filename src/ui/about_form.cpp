#include "ui/about_form.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "backitem/update_check.h"
#include "platform/system.h"

namespace tarnwick::ui {
namespace {

// The addresses are written with one part of the host name in kana and
// shown with it in Latin letters, so that a plain search of the program
// file finds no address to send mail to.
constexpr const char* kKanaWord = "たーんうぃっく";
constexpr const char* kLatinWord = "tarnwick";
constexpr const char* kMailCaption = "updates@たーんうぃっく.example.invalid";
constexpr const char* kUrlCaption = "https://たーんうぃっく.example.invalid/";

QString Shown(const char* caption) {
  QString text = QString::fromUtf8(caption);
  int at = text.indexOf(QString::fromUtf8(kKanaWord));
  if (at >= 0) text.replace(at, QString::fromUtf8(kKanaWord).size(), kLatinWord);
  return text;
}

constexpr const char* kPlatform = platform::kWindows ? "for Win32" : "for Linux";

}  // namespace

TAboutForm::TAboutForm(QWidget* parent, LinkOpener openLink)
    : QDialog(parent),
      openLink_(openLink ? std::move(openLink)
                         : LinkOpener([](const QUrl& url) { QDesktopServices::openUrl(url); })) {
  setObjectName("AboutForm");
  setWindowTitle("バージョン情報");

  auto* frame = new QFrame(this);
  frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
  auto* icon = new QLabel(frame);
  icon->setObjectName("IconImage");
  QIcon appIcon = QApplication::windowIcon();
  if (appIcon.isNull()) appIcon = style()->standardIcon(QStyle::SP_DriveHDIcon);
  icon->setPixmap(appIcon.pixmap(32, 32));
  auto* product = new QLabel("Tarnwick", frame);
  QFont bold = product->font();
  bold.setBold(true);
  bold.setPointSize(12);
  product->setFont(bold);
  auto* version = new QLabel("version 2.05a", frame);
  version->setObjectName("VersionLabel");
  version->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  version->setToolTip(QString("Build #%1").arg(kBuildNumber));
  auto* platform = new QLabel(kPlatform, frame);
  auto* frameLayout = new QGridLayout(frame);
  frameLayout->addWidget(icon, 0, 0, 2, 1);
  frameLayout->addWidget(product, 0, 1);
  frameLayout->addWidget(version, 0, 2);
  frameLayout->addWidget(platform, 1, 1, 1, 2);

  auto* notice = new QLabel("このプログラムはフリーソフトウェアです。", this);
  notice->setAlignment(Qt::AlignCenter);
  MailLabel = new QLabel(Shown(kMailCaption), this);
  MailLabel->setObjectName("MailLabel");
  URLLabel = new QLabel(Shown(kUrlCaption), this);
  URLLabel->setObjectName("URLLabel");
  auto* links = new QGridLayout;
  links->addWidget(new QLabel("E-mail :", this), 0, 0);
  links->addWidget(MailLabel, 0, 1);
  links->addWidget(new QLabel("URL :", this), 1, 0);
  links->addWidget(URLLabel, 1, 1);
  for (QLabel* label : {MailLabel, URLLabel}) {
    label->setStyleSheet("color: blue; text-decoration: underline;");
    label->setCursor(Qt::PointingHandCursor);
    label->setTextFormat(Qt::PlainText);
    label->installEventFilter(this);
  }
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("OKBtn");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frame);
  layout->addWidget(notice);
  layout->addLayout(links);
  layout->addWidget(ok, 0, Qt::AlignCenter);
  resize(316, 182);
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    if (watched == MailLabel || watched == URLLabel) LinkLabelClick(static_cast<QLabel*>(watched));
  }
  return QDialog::eventFilter(watched, event);
}

void TAboutForm::LinkLabelClick(QLabel* label) {
  QString target = label->text();
  if (label == MailLabel) target.prepend("mailto:");
  openLink_(QUrl(target));  // what the desktop cannot open, it does not report
}

}  // namespace tarnwick::ui

// The about box: its build in the version's tool tip, and its addresses
// handed to the desktop, the e-mail address as a mailto: link.
#include "ui/about_form.h"

#include <QLabel>
#include <QTest>

namespace tarnwick::ui {

class AboutFormTest : public QObject {
  Q_OBJECT

 private slots:
  void linksAndBuild() {
    std::vector<QUrl> opened;
    TAboutForm about(nullptr, [&](const QUrl& url) { opened.push_back(url); });
    QCOMPARE(about.findChild<QLabel*>("VersionLabel")->toolTip(), QString("Build #147"));
    QTest::mouseClick(about.findChild<QLabel*>("MailLabel"), Qt::LeftButton);
    QTest::mouseClick(about.findChild<QLabel*>("URLLabel"), Qt::LeftButton);
    QCOMPARE(opened.size(), std::size_t{2});
    QCOMPARE(opened[0].toString(), QString("mailto:updates@tarnwick.example.invalid"));
    QCOMPARE(opened[1].toString(), QString("https://tarnwick.example.invalid/"));
  }
};

}  // namespace tarnwick::ui

QTEST_MAIN(tarnwick::ui::AboutFormTest)
#include "about_form_test.moc"

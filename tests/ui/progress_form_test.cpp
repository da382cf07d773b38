// The progress dialog: what it shows at the start and the end, the window it
// disables, and a cancel that only takes effect at the run's next check.
#include "ui/progress_form.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "common/errors.h"

namespace tarnwick::ui {

class ProgressFormTest : public QObject {
  Q_OBJECT

 private slots:
  void cancelIsAskedAtTheNextCheckAndTheWindowComesBack() {
    bool progressOff = false;
    QWidget owner;
    owner.show();
    QApplication::setActiveWindow(&owner);
    TProgressForm form(progressOff);
    form.StartProgress("書き出し中...", "REGファイル書き出し", 100);
    QCOMPARE(form.windowTitle(), QString("REGファイル書き出し"));
    QCOMPARE(form.findChild<QLabel*>("ProgressText")->text(), QString("0% 完了"));
    form.SetProgress(45);
    QCOMPARE(form.findChild<QLabel*>("ProgressText")->text(), QString("45% 完了"));
    QVERIFY(!owner.isEnabled());
    QTest::keyClick(&form, Qt::Key_Escape);  // as the button: recorded, not raised
    QVERIFY(form.isVisible());
    QVERIFY_THROWS_EXCEPTION(EProgressCanceled, form.CheckCancel());
    form.CheckCancel();  // the request was taken
    form.FinishProgress("検証済み: キー 1、値 2");
    QCOMPARE(form.findChild<QLabel*>("InfoText")->text(),
             QString("終了しました。検証済み: キー 1、値 2"));
    form.CloseProgress();
    QVERIFY(owner.isEnabled());
  }

  void switchedOffItShowsNothingAndNeverCancels() {
    bool progressOff = true;
    TProgressForm form(progressOff);
    form.StartProgress("書き出し中...", "REGファイル書き出し", 100);
    QVERIFY(!form.isVisible());
    form.findChild<QPushButton*>("CancelBtn")->click();
    form.CheckCancel();  // nothing can be cancelled
  }
};

}  // namespace tarnwick::ui

QTEST_MAIN(tarnwick::ui::ProgressFormTest)
#include "progress_form_test.moc"

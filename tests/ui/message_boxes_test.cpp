// The prompt port's boxes: buttons that read in Japanese and answer as named.
#include "ui/message_boxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <functional>

namespace tarnwick::ui {

class MessageBoxesTest : public QObject {
  Q_OBJECT

 private slots:
  void buttonsReadInJapaneseAndAnswerAsNamed() {
    using Ask = std::function<PromptAnswer(MessageBoxes&)>;
    const Ask retryCancel = [](MessageBoxes& b) { return b.AskRetryCancel("x", "保存エラー"); };
    const Ask yesNo = [](MessageBoxes& b) { return b.AskYesNo("x", "", PromptIcon::Warning); };
    const Ask message = [](MessageBoxes& b) {
      b.ShowMessage("x", "", PromptIcon::Error);
      return PromptAnswer::Yes;
    };
    struct Case {
      Ask ask;
      QStringList buttons;
      QString click;
      PromptAnswer answer;
    } cases[] = {
        {retryCancel, {"キャンセル", "再試行(&R)"}, "再試行(&R)", PromptAnswer::Retry},
        {yesNo, {"いいえ(&N)", "はい(&Y)"}, "はい(&Y)", PromptAnswer::Yes},
        {message, {"OK"}, "OK", PromptAnswer::Yes},
    };
    MessageBoxes boxes;
    for (const Case& c : cases) {
      QStringList seen;
      QTimer::singleShot(0, this, [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
          auto* box = qobject_cast<QMessageBox*>(window);
          if (!box || !box->isVisible()) continue;
          for (QAbstractButton* button : box->buttons()) {
            seen << button->text();
            if (button->text() == c.click) button->click();
          }
        }
      });
      QCOMPARE(c.ask(boxes), c.answer);
      seen.sort();
      QCOMPARE(seen, c.buttons);
    }
  }
};

}  // namespace tarnwick::ui

QTEST_MAIN(tarnwick::ui::MessageBoxesTest)
#include "message_boxes_test.moc"

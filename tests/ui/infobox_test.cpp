// The information box: opened modally from the banner, read-only, once at a
// time, and laid out again on every resize.

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "base/makerlinks.h"
#include "ui/clickables.h"
#include "ui/infobox.h"
#include "ui/mainwindow.h"
#include "uitestkit.h"

using namespace Qt::Literals::StringLiterals;
using namespace lianshuo;
using test::control;

namespace {

// Runs `inspect` on the modal box once it is open, then closes it with its button.
void whenOpen(std::function<void(InputBoxWindow&)> inspect) {
    QTimer::singleShot(0, [inspect] {
        auto* box = qobject_cast<InputBoxWindow*>(QApplication::activeModalWidget());
        if (!box) return;
        inspect(*box);
        QTest::mouseClick(control<QPushButton>(box, u"按钮取消"_s), Qt::LeftButton);
    });
}

}  // namespace

class InfoBoxTest : public QObject {
    Q_OBJECT

private slots:
    void questionsOpenFromTheBannerOwnedByTheMainWindow() {
        const test::WindowSession session;
        QVERIFY(session.isOpen());
        MainWindow& window = session.window();
        QString title, text, closeCaption;
        QWidget* owner = nullptr;
        bool readOnly = false, okShown = true, secondOpened = false;
        QRect textArea, closeArea;
        whenOpen([&](InputBoxWindow& box) {
            title = box.windowTitle();
            owner = box.parentWidget();
            auto* body = control<QPlainTextEdit>(&box, u"编辑框正文"_s);
            text = body->toPlainText();
            readOnly = body->isReadOnly();
            okShown = control<QPushButton>(&box, u"按钮确定"_s)->isVisible();
            closeCaption = control<QPushButton>(&box, u"按钮取消"_s)->text();
            // A second request while the box is open returns at once.
            showInformation(u"other"_s, u"other"_s, nullptr);
            secondOpened = QApplication::activeModalWidget() != &box;
            box.resize(600, 500);
            textArea = body->geometry();
            closeArea = control<QPushButton>(&box, u"按钮取消"_s)->geometry();
        });
        QTest::mousePress(control<LinkLabel>(&window, u"链接疑点说明"_s), Qt::LeftButton);

        QCOMPARE(title, u"疑点说明"_s);
        QCOMPARE(owner, &window);
        QCOMPARE(text, introductionText().replace(u"\r\n"_s, u"\n"_s));
        QVERIFY(text.startsWith(u"-----------------软件介绍-----------------\n\n蓝棠软件出品"_s));
        QVERIFY(text.contains(u"视频教程："_s + QString::fromLatin1(maker::kVideoTutorial) +
                              u"\n\n\n本软件"_s));
        QVERIFY(readOnly);
        QVERIFY(!okShown);
        QVERIFY(!secondOpened);
        QCOMPARE(closeCaption, u"关闭(&G)"_s);
        QCOMPARE(closeArea, QRect(600 - 5 - 64, 500 - 5 - 24, 64, 24));
        QCOMPARE(textArea, QRect(5, 5, 590, closeArea.top() - 5 - 5));
    }

    void anUntitledBoxWithoutOwner() {
        QString title;
        QWidget* owner = &dummy_;
        whenOpen([&](InputBoxWindow& box) {
            title = box.windowTitle();
            owner = box.parentWidget();
        });
        showInformation(u"help\r\ntext"_s, QString(), nullptr);
        QCOMPARE(title, u"信息："_s);
        QCOMPARE(owner, nullptr);
    }

private:
    QWidget dummy_;
};

QTEST_MAIN(InfoBoxTest)
#include "infobox_test.moc"

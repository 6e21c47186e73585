// The clipboard watch and the tray as a user meets them: a copied long address
// comes back short on the clipboard, and the tray keeps the program at hand.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>
#include <memory>
#include <optional>

#include "ui/desktoptray.h"
#include "ui/fileconverterwindow.h"
#include "ui/historywindow.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "uitestkit.h"

using namespace Qt::Literals::StringLiterals;
using namespace lianshuo;
using test::control;

namespace {

QString clipboardText() {
    return QApplication::clipboard()->text();
}

// Whether the window's last close event was accepted (it closed) or ignored (it went to the
// tray): the filter hands the event to the window itself and looks at it after.
class CloseWatch : public QObject {
public:
    explicit CloseWatch(QWidget* window) : window_(window) { window->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != window_ || event->type() != QEvent::Close) return false;
        window_->removeEventFilter(this);
        QCoreApplication::sendEvent(window_, event);
        window_->installEventFilter(this);
        accepted = event->isAccepted();
        return true;
    }
    std::optional<bool> accepted;

private:
    QWidget* window_;
};

}  // namespace

class TrayTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        session_.reset();
        overrideSystemTrayAvailable(std::nullopt);
    }

    void aCopiedAddressComesBackShortAndTheResultIsNotConvertedAgain() {
        open();
        auto* summary = control<QLabel>(window_, u"标签批量摘要"_s);
        // Not watched until the box is on.
        QApplication::clipboard()->setText(u"http://www.example.test/before"_s);
        QTest::qWait(100);
        QCOMPARE(session_->service().requestCount(), 0);

        QTest::mouseClick(control<QCheckBox>(window_, u"选择框监视剪贴板"_s), Qt::LeftButton);
        QApplication::clipboard()->setText(u"  http://www.example.test/a/long/page?id=7\n"_s);
        QTRY_COMPARE(clipboardText(), u"https://s.example.test/r1"_s);
        QCOMPARE(summary->text(), u"已缩短：https://s.example.test/r1"_s);
        // The program's own result on the clipboard is left as it is.
        QTest::qWait(200);
        QCOMPARE(session_->service().requestCount(), 1);

        // A failure leaves the copy alone and says why.
        QApplication::clipboard()->setText(u"http://www.example.test/bad"_s);
        QTRY_VERIFY(summary->text().startsWith(u"缩短失败："_s));
        QVERIFY(summary->text().size() > 6);
        QCOMPARE(clipboardText(), u"http://www.example.test/bad"_s);
        QCOMPARE(session_->service().requestCount(), 2);
    }

    void copiesWhileOneConvertsAreConvertedInTurn() {
        open();
        QTest::mouseClick(control<QCheckBox>(window_, u"选择框监视剪贴板"_s), Qt::LeftButton);
        QApplication::clipboard()->setText(u"http://www.example.test/first"_s);
        QApplication::clipboard()->setText(u"http://www.example.test/second"_s);
        // The first's result finds the second on the clipboard, which it leaves; then the
        // second's takes its place.
        QTRY_COMPARE(clipboardText(), u"https://s.example.test/r2"_s);
        QCOMPARE(session_->service().requestCount(), 2);
    }

    void withoutATrayTheOptionIsOffAndClosingCloses() {
        open();
        auto* trayBox = control<QCheckBox>(window_, u"选择框托盘"_s);
        QVERIFY(!trayBox->isEnabled());
        QVERIFY(!trayBox->toolTip().isEmpty());
        QVERIFY(window_->trayIcon() == nullptr);
        trayBox->setChecked(true);  // as read from a file written where a tray was
        QVERIFY(window_->close());

        // Offscreen no other program's copy is seen: the box says so and what to use instead.
        QVERIFY(control<QLabel>(window_, u"标签监视剪贴板受限"_s)
                    ->toolTip()
                    .contains(u"从剪贴板缩短"_s));
        QCOMPARE(clipboardSignals(u"wayland-egl"_s), ClipboardSignals::WhileFocused);
        QCOMPARE(clipboardSignals(u"xcb"_s), ClipboardSignals::Always);
    }

    void theTrayMenuOpensWhatTheBannerOpensAndClosingHidesToIt() {
        overrideSystemTrayAvailable(true);
        open();
        QMenu* menu = window_->trayMenu();
        QVERIFY(window_->trayIcon() && menu);
        QStringList captions;
        for (QAction* action : menu->actions())
            if (!action->isSeparator()) captions << action->text();
        QCOMPARE(captions, (QStringList{u"显示主窗口"_s, u"监视剪贴板"_s, u"从剪贴板缩短"_s,
                                        u"文件短网址转换器"_s, u"历史记录"_s, u"退出"_s}));
        const auto action = [menu](const QString& name) { return menu->findChild<QAction*>(name); };
        auto* trayBox = control<QCheckBox>(window_, u"选择框托盘"_s);
        QVERIFY(trayBox->isEnabled());

        // "托盘" off: closing works as it always did.
        QVERIFY(window_->close());
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_));

        // Hidden to the tray, the window's file converter stays open (and its run goes on).
        QTest::mouseClick(trayBox, Qt::LeftButton);
        showFileConverterWindow(*window_);
        auto* files = window_->findChild<FileConverterWindow*>();
        QVERIFY(files && QTest::qWaitForWindowExposed(files));
        QVERIFY(!window_->close());
        QVERIFY(window_->isHidden());
        QVERIFY(files->isVisible());
        QVERIFY(toQt(test::readFile(session_->sandbox().file())).contains(u"托盘=1"_s));
        action(u"显示主窗口"_s)->trigger();
        QVERIFY(window_->isVisible());

        action(u"监视剪贴板"_s)->trigger();
        QVERIFY(control<QCheckBox>(window_, u"选择框监视剪贴板"_s)->isChecked());
        action(u"监视剪贴板"_s)->trigger();
        QApplication::clipboard()->setText(u"http://www.example.test/by-hand"_s);
        action(u"从剪贴板缩短"_s)->trigger();
        QTRY_COMPARE(clipboardText(), u"https://s.example.test/r1"_s);

        bool converterOpened = false;
        window_->setFileConverterOpener([&converterOpened] { converterOpened = true; });
        action(u"文件短网址转换器"_s)->trigger();
        QVERIFY(converterOpened);
        action(u"历史记录"_s)->trigger();
        QTRY_VERIFY(window_->findChild<HistoryWindow*>() != nullptr);

        const CloseWatch watch(window_);
        action(u"退出"_s)->trigger();
        QCOMPARE(watch.accepted, std::optional<bool>(true));
        QVERIFY(!window_->isVisible());
    }

private:
    void open() {
        session_ = std::make_unique<test::ServedSession>();
        QVERIFY(session_->isOpen());
        window_ = &session_->window();
    }

    std::unique_ptr<test::ServedSession> session_;
    MainWindow* window_ = nullptr;
};

QTEST_MAIN(TrayTest)
#include "tray_test.moc"

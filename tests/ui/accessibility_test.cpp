// Every window by keyboard and screen reader: each control that can be used
// has a name a screen reader reads (Chinese for every field) and is reached by
// Tab; the banner's actions and the main buttons answer keys.

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

#include "ui/clickables.h"
#include "ui/fileconverterwindow.h"
#include "ui/historywindow.h"
#include "ui/infobox.h"
#include "ui/interfaceadvanced.h"
#include "ui/mainwindow.h"
#include "uitestkit.h"

using namespace Qt::Literals::StringLiterals;
using namespace lianshuo;
using test::control;

namespace {

bool hasChinese(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() >= 0x4e00 && c.unicode() <= 0x9fff) return true;
    return false;
}

// The controls of `window` a user works with: shown, enabled, taking focus,
// and not the inner parts of another control.
QList<QWidget*> usableControls(QWidget* window) {
    QList<QWidget*> controls;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->window() != window || !w->isVisible() || !w->isEnabled()) continue;
        if (!(w->focusPolicy() & Qt::TabFocus) || qobject_cast<QHeaderView*>(w)) continue;
        const QWidget* parent = w->parentWidget();
        if (qobject_cast<const QAbstractSpinBox*>(parent) || qobject_cast<const QComboBox*>(parent))
            continue;
        controls.append(w);
    }
    return controls;
}

// What Tab reaches, pressed from the first control until focus comes round again.
QSet<QWidget*> reachedByTab(QWidget* window, QWidget* first) {
    QSet<QWidget*> reached;
    first->setFocus(Qt::OtherFocusReason);
    for (int step = 0; step < 200; ++step) {
        QWidget* focus = QApplication::focusWidget();
        if (!focus || reached.contains(focus)) break;
        reached.insert(focus);
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    Q_UNUSED(window);
    return reached;
}

// The usable controls of `window` without a name, and those Tab does not reach.
QString faultsOf(QWidget* window, QWidget* first) {
    QStringList faults;
    const QSet<QWidget*> reached = reachedByTab(window, first);
    for (QWidget* control : usableControls(window)) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(control);
        QString name = face ? face->text(QAccessible::Name) : QString();
        // On Linux a drop-down's name is its current value; its own name goes by relation.
        if (qobject_cast<QComboBox*>(control)) name = control->accessibleName();
        const bool field = !qobject_cast<QAbstractButton*>(control);
        if (name.trimmed().isEmpty() || (field && !hasChinese(name)))
            faults.append(control->objectName() + u" has no name"_s);
        // One button of a group of radio buttons takes the focus; arrows move between them.
        bool tabbed = reached.contains(control);
        if (qobject_cast<QRadioButton*>(control))
            for (QWidget* other : control->parentWidget()->findChildren<QRadioButton*>())
                tabbed |= reached.contains(other);
        if (!tabbed) faults.append(control->objectName() + u" is not reached by Tab"_s);
    }
    return faults.join(u", "_s);
}

bool activate(QWidget* window) {
    window->show();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
}

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        // A Tab order that names a control of another window (a drop-down's list) is refused
        // with a warning, and the order is not what it says.
        QTest::failOnWarning(QRegularExpression(u"setTabOrder"_s));
        session_ = std::make_unique<test::WindowSession>();
        QVERIFY(session_->isOpen());
        main_ = &session_->window();
        QVERIFY(activate(main_));
    }
    void cleanup() { session_.reset(); }

    void everyWindowsControlsAreNamedAndReachedByTab() {
        QWidget* service = control<QWidget>(main_, u"组合框短网址"_s);
        QCOMPARE(faultsOf(main_, service), QString());
        // The token group and, with the custom service, the interface panel.
        QTest::mouseClick(control<QPushButton>(main_, u"按钮设置Token"_s), Qt::LeftButton);
        QCOMPARE(faultsOf(main_, service), QString());
        control<QComboBox>(main_, u"组合框短网址"_s)->setCurrentIndex(0);
        QTest::mouseClick(control<QPushButton>(main_, u"按钮添加"_s), Qt::LeftButton);
        QCOMPARE(faultsOf(main_, service), QString());

        showFileConverterWindow(*main_);
        auto* converter = main_->findChild<FileConverterWindow*>();
        QVERIFY(converter && activate(converter));
        QCOMPARE(faultsOf(converter, control<QWidget>(converter, u"编辑框文章目录"_s)), QString());

        showHistoryWindow(main_, main_->historyPath());
        auto* history = main_->findChild<HistoryWindow*>();
        QVERIFY(history && activate(history));
        QCOMPARE(faultsOf(history, control<QWidget>(history, u"编辑框搜索"_s)), QString());

        InterfaceAdvancedDialog advanced(ShortUrlInterface{}, main_);
        QVERIFY(activate(&advanced));
        QCOMPARE(faultsOf(&advanced, control<QWidget>(&advanced, u"编辑框接口名称"_s)), QString());
        advanced.close();

        InputBoxWindow box(main_);
        box.showText(introductionText(), u"疑点说明"_s);
        QVERIFY(activate(&box));
        QCOMPARE(faultsOf(&box, control<QWidget>(&box, u"编辑框正文"_s)), QString());
    }

    // Labels lead to their fields, and the service and the list come before the actions.
    void labelsAreBuddiesAndTabGoesFromServiceToListToActions() {
        QCOMPARE(control<QLabel>(main_, u"标签1"_s)->buddy(),
                 control<QWidget>(main_, u"编辑框生成间隔秒"_s));
        QCOMPARE(control<QLabel>(main_, u"标签并发数"_s)->buddy(),
                 control<QWidget>(main_, u"编辑框并发数"_s));
        const QStringList order = {u"组合框短网址"_s, u"列表框转换"_s, u"按钮生成"_s,
                                   u"链接历史记录"_s};
        QList<int> places;
        QWidget* w = control<QWidget>(main_, order[0]);
        for (int step = 0; step < 2000; ++step, w = w->nextInFocusChain()) {
            const int at = order.indexOf(w->objectName());
            if (at >= 0 && !places.contains(at) && w->window() == main_) places.append(at);
        }
        QCOMPARE(places, QList<int>({0, 1, 2, 3}));
        showFileConverterWindow(*main_);
        auto* converter = main_->findChild<FileConverterWindow*>();
        QVERIFY(converter);
        QCOMPARE(control<QLabel>(converter, u"标签过滤"_s)->buddy(),
                 control<QWidget>(converter, u"编辑框过滤"_s));
    }

    // The banner's actions, Alt with a letter on the main buttons, F1 for the help.
    void keysReachTheBannerTheButtonsAndTheHelp() {
        auto* history = control<LinkLabel>(main_, u"链接历史记录"_s);
        history->setFocus(Qt::TabFocusReason);
        QVERIFY(history->hasFocus());
        QTest::keyClick(history, Qt::Key_Space);
        QVERIFY(main_->findChild<HistoryWindow*>());
        QVERIFY(activate(main_));

        auto* converter = control<LinkLabel>(main_, u"超级链接框文件短网址转换器"_s);
        converter->setFocus(Qt::TabFocusReason);
        int opened = 0;
        main_->setFileConverterOpener([&opened] { ++opened; });
        QTest::keyClick(converter, Qt::Key_Return);
        QCOMPARE(opened, 1);

        QApplication::clipboard()->setText(u"http://a.example.test/1"_s);
        QTest::keyClick(main_, Qt::Key_Z, Qt::AltModifier);
        QTest::qWait(300);  // the button's click is animated
        QCOMPARE(control<QTreeWidget>(main_, u"列表框转换"_s)->topLevelItemCount(), 1);

        QString title;
        QTimer::singleShot(0, [&title] {
            if (auto* box = qobject_cast<InputBoxWindow*>(QApplication::activeModalWidget())) {
                title = box->windowTitle();
                box->reject();
            }
        });
        QTest::keyClick(main_, Qt::Key_F1);
        QCOMPARE(title, u"疑点说明"_s);
    }

private:
    std::unique_ptr<test::WindowSession> session_;
    MainWindow* main_ = nullptr;
};

QTEST_MAIN(AccessibilityTest)
#include "accessibility_test.moc"

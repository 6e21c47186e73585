// The main window as a user drives it: the service choice, the token group,
// the results list with the clipboard, and the result folder.

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <memory>

#include "base/paths.h"
#include "ui/dialogs.h"
#include "ui/interfacepanel.h"
#include "ui/mainwindow.h"
#include "ui/shell.h"
#include "uitestkit.h"
#include "version.h"

using namespace Qt::Literals::StringLiterals;
using namespace lianshuo;
using test::control;

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        session_ = std::make_unique<test::WindowSession>();
        QVERIFY(session_->isOpen());
        window_ = &session_->window();
    }

    void cleanup() { session_.reset(); }

    void serviceChoiceGovernsTheInterfaceListThePanelAndTheToken() {
        auto* combo = control<QComboBox>(window_, u"组合框短网址"_s);
        auto* add = control<QPushButton>(window_, u"按钮添加"_s);
        auto* token = control<QPushButton>(window_, u"按钮设置Token"_s);
        auto* group = control<QGroupBox>(window_, u"分组框3"_s);
        auto* panel = control<InterfacePanel>(window_, u"图片框面板"_s);
        const QList<QWidget*> interfaceControls = {add,
                                                   control<QPushButton>(window_, u"按钮删除"_s),
                                                   control<QPushButton>(window_, u"按钮清空"_s),
                                                   control<QListWidget>(window_, u"列表框"_s)};

        // First run: Baidu, with its token button, and the interface list locked.
        QCOMPARE(combo->currentIndex(), 1);
        QVERIFY(token->isVisible());
        for (QWidget* c : interfaceControls) QVERIFY(!c->isEnabled());

        combo->setCurrentIndex(0);
        for (QWidget* c : interfaceControls) QVERIFY(c->isEnabled());
        QVERIFY(!token->isVisible());
        QTest::mouseClick(add, Qt::LeftButton);
        QVERIFY(panel->isVisible());
        QCOMPARE(add->text(), u"添加/修改"_s);

        // A built-in service closes the panel.
        combo->setCurrentIndex(2);
        QVERIFY(!panel->isVisible());
        QCOMPARE(add->text(), u"打开接口面板"_s);
        for (QWidget* c : interfaceControls) QVERIFY(!c->isEnabled());
        QVERIFY(!token->isVisible());

        combo->setCurrentIndex(1);
        QTest::mouseClick(token, Qt::LeftButton);
        QVERIFY(group->isVisible());
        QCOMPARE(token->text(), u"关闭百度Token.."_s);
        QApplication::clipboard()->setText(u"token-from-clipboard"_s);
        QTest::mouseClick(control<QPushButton>(window_, u"按钮1"_s), Qt::LeftButton);
        QCOMPARE(window_->baiduToken(), std::string("token-from-clipboard"));
        // A secret: masked until "显示" is ticked.
        auto* tokenEdit = control<QLineEdit>(window_, u"编辑框百度Token"_s);
        QCOMPARE(tokenEdit->echoMode(), QLineEdit::Password);
        control<QCheckBox>(window_, u"选择框显示百度Token"_s)->click();
        QCOMPARE(tokenEdit->echoMode(), QLineEdit::Normal);
        QTest::mouseClick(token, Qt::LeftButton);
        QVERIFY(!group->isVisible());
        QCOMPARE(token->text(), u"设置百度Token.."_s);

        // Any change of service hides the group; the button keeps its last caption.
        QTest::mouseClick(token, Qt::LeftButton);
        combo->setCurrentIndex(3);
        QVERIFY(!group->isVisible());
        QVERIFY(!token->isVisible());
        combo->setCurrentIndex(1);
        QVERIFY(token->isVisible());
        QVERIFY(!group->isVisible());
        QCOMPARE(token->text(), u"关闭百度Token.."_s);
    }

    void pasteCopyAndTheRowsMouseActions() {
        test::pasteUrls(*window_, {u"old.example.test"_s});
        QApplication::clipboard()->setText(
            u"  example.test  \r\n\r\n\u3000https://a.example.test/x?y=1 \t\r\nftp://f.example.test"_s);
        QTest::mouseClick(control<QPushButton>(window_, u"按钮粘贴"_s), Qt::LeftButton);
        const QList<test::Row> expected = {{u"等待转换"_s, u"http://example.test"_s, 2},
                                           {u"等待转换"_s, u"https://a.example.test/x?y=1"_s, 2},
                                           {u"等待转换"_s, u"ftp://f.example.test"_s, 2}};
        QCOMPARE(test::rowsOf(*window_), expected);

        window_->setRow(0, "https://s.example.test/1", ResultRowState::Done);
        window_->setRow(1, "file:///etc/passwd", ResultRowState::Error);
        QTest::mouseClick(control<QPushButton>(window_, u"按钮复制"_s), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(),
                 u"https://s.example.test/1\r\nfile:///etc/passwd\r\n等待转换\r\n"_s);

        auto* view = control<QTreeWidget>(window_, u"列表框转换"_s);
        const auto centreOf = [view](int row) {
            return view->visualItemRect(view->topLevelItem(row)).center();
        };
        const auto doubleClick = [view](QPoint at) {
            // The view takes a double click only on the row the first click pressed.
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
        };
        doubleClick(centreOf(0));
        // Only web addresses reach the browser; a reply naming a local file opens nothing.
        doubleClick(centreOf(1));
        QCOMPARE(opened().size(), 1);
        QCOMPARE(opened()[0].kind, ShellRequest::Url);
        QCOMPARE(opened()[0].target, u"https://s.example.test/1"_s);

        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, centreOf(1),
                                     view->viewport()->mapToGlobal(centreOf(1)));
        QApplication::sendEvent(view->viewport(), &rightClick);
        QCOMPARE(QApplication::clipboard()->text(), u"file:///etc/passwd"_s);
        QCOMPARE(view->currentItem(), view->topLevelItem(1));

        QApplication::clipboard()->clear();
        QTest::mouseClick(control<QPushButton>(window_, u"按钮粘贴"_s), Qt::LeftButton);
        QCOMPARE(view->topLevelItemCount(), 0);
    }

    void resultFolderControls() {
        auto* box = control<QCheckBox>(window_, u"选择框自动保存到目录"_s);
        auto* folder = control<QLineEdit>(window_, u"编辑框保存目录"_s);
        auto* button = control<QPushButton>(window_, u"按钮保存目录"_s);
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(!folder->isEnabled() && !button->isEnabled());
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(folder->isEnabled() && button->isEnabled());

        const QString chosen = QString::fromStdString(session_->sandbox().dir().path().string());
        FileDialog::setNextFileName(u"  "_s + chosen + u" "_s);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(FileDialog::lastCaption(), u"请选择一个文件夹"_s);
        QCOMPARE(folder->text(), chosen);
        FileDialog::setNextFileName(QString());
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(folder->text(), chosen);

        // Before a batch wrote a file the right button shows the folder itself.
        QTest::mousePress(button, Qt::RightButton);
        const QString written = chosen + u"/r.txt"_s;
        window_->setResultFilePath(gbkPath(written.toStdString()));
        QTest::mousePress(button, Qt::RightButton);
        test::writeFile(written.toStdString(), "x");
        QTest::mousePress(button, Qt::RightButton);
        QCOMPARE(opened().size(), 3);
        QCOMPARE(opened()[0].kind, ShellRequest::Folder);
        QCOMPARE(opened()[0].target, chosen);
        QCOMPARE(opened()[1].kind, ShellRequest::Folder);
        QCOMPARE(opened()[2].kind, ShellRequest::SelectFile);
        QCOMPARE(opened()[2].target, written);
    }

    // The title shows project(VERSION) in four parts, the rest of it unchanged.
    void titleCarriesTheProjectVersion() {
        const QString version = QString::fromLatin1(kWindowVersion);
        QCOMPARE(version.count(u'.'), 3);
        QVERIFY(version.startsWith(QString::fromLatin1(kVersion)));
        QCOMPARE(window_->windowTitle(),
                 u"蓝棠·链梭 v"_s + version + u" - 内置主流短网址，支持自定义短网址接口"_s);
    }

private:
    const QList<ShellRequest>& opened() const { return session_->opened(); }

    std::unique_ptr<test::WindowSession> session_;
    MainWindow* window_ = nullptr;
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"

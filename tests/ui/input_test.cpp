// The ways into the main window's results list and what the window says
// while it works: drops, Ctrl+V, the list's menu, the empty list's hint, a
// line that is no address, the summary line during a batch and after a copy.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>
#include <memory>

#include "ui/dialogs.h"
#include "ui/mainwindow.h"
#include "ui/resultslist.h"
#include "uitestkit.h"

using namespace Qt::Literals::StringLiterals;
using namespace lianshuo;
using test::control;

class InputTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        session_ = std::make_unique<test::ServedSession>();
        QVERIFY(session_->isOpen());
        window_ = &session_->window();
        list_ = control<QTreeWidget>(window_, u"列表框转换"_s);
    }

    void cleanup() { session_.reset(); }

    void droppedTextLinksPagesAndListsAddRowsAndTheEmptyListSaysSo() {
        auto* hint = control<QLabel>(window_, u"标签空列表提示"_s);
        QCOMPARE(hint->text(), u"粘贴（Ctrl+V）或拖入网址、文本文件"_s);
        QVERIFY(hint->isVisible());

        QMimeData text;
        text.setText(u"a.test/1\r\nabc\r\n"_s);
        drop(text);
        QVERIFY(!hint->isVisible());

        const std::filesystem::path dir = session_->sandbox().dir().path();
        test::writeFile(dir / "page.htm",
                        "<p>\xE8\xA7\x81 <a href=\"http://b.test/p\">x</a> https://c.test/q</p>\n");
        test::writeFile(dir / "list.txt", "d.test/1\tmine\r\nhttp://e.test/2\r\n");
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(QString::fromStdString((dir / "page.htm").string())),
                       QUrl::fromLocalFile(QString::fromStdString((dir / "list.txt").string())),
                       QUrl(u"https://f.test/link"_s)});
        drop(files);
        const QList<test::Row> expected = {{u"等待转换"_s, u"http://a.test/1"_s, 2},
                                           {u"生成错误"_s, u"http://abc"_s, 1},
                                           {u"等待转换"_s, u"http://b.test/p"_s, 2},
                                           {u"等待转换"_s, u"https://c.test/q"_s, 2},
                                           {u"等待转换"_s, u"http://d.test/1\tmine"_s, 2},
                                           {u"等待转换"_s, u"http://e.test/2"_s, 2},
                                           {u"等待转换"_s, u"https://f.test/link"_s, 2}};
        QCOMPARE(test::rowsOf(list_), expected);
        QCOMPARE(list_->topLevelItem(1)->toolTip(0), u"不是网址"_s);

        list_->clear();
        QVERIFY(hint->isVisible());
    }

    void ctrlVPastesOnlyOutsideTextFields() {
        QApplication::clipboard()->setText(u"g.test/1"_s);
        list_->setFocus();
        QTest::keyClick(list_, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(longUrls(), QStringList{u"http://g.test/1"_s});

        QApplication::clipboard()->setText(u"h.test/2"_s);
        auto* folder = control<QLineEdit>(window_, u"编辑框保存目录"_s);
        folder->clear();
        folder->setFocus();
        QTest::keyClick(folder, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(folder->text(), u"h.test/2"_s);
        QCOMPARE(longUrls(), QStringList{u"http://g.test/1"_s});
    }

    void aLineThatIsNoAddressFailsUnsentAndTheSummaryCountsTheBatch() {
        auto* summary = control<QLabel>(window_, u"标签批量摘要"_s);
        auto* generate = control<QPushButton>(window_, u"按钮生成"_s);
        summary->setText(u"完成 9 个，失败 0 个"_s);
        test::pasteUrls(*window_,
                        {u"a.example.test/1"_s, u"not an address"_s, u"a.example.test/3"_s});
        QTest::mouseClick(generate, Qt::LeftButton);
        QStringList seen{summary->text()};
        const QString firstTip = generate->toolTip();
        while (window_->batchRunning()) {
            if (seen.constLast() != summary->text()) seen.append(summary->text());
            QCoreApplication::processEvents();
        }
        QCOMPARE(seen.first(), u"正在转换 0/3…"_s);
        // Rows that finish within one pass of the loop are counted together.
        QVERIFY2(seen.size() > 1 && seen[1].endsWith(u"/3…"_s), qPrintable(seen.join(u" | "_s)));
        QCOMPARE(firstTip, u"共 3 个，已完成 0 个"_s);
        QCOMPARE(summary->text(), u"完成 2 个，失败 1 个"_s);
        QCOMPARE(generate->toolTip(), QString());
        QCOMPARE(session_->service().requestCount(), 2);
        QCOMPARE(list_->topLevelItem(1)->toolTip(0), u"不是网址"_s);

        // A copy says so for a moment, then the counts come back.
        QTest::mouseClick(control<QPushButton>(window_, u"按钮复制"_s), Qt::LeftButton);
        QCOMPARE(summary->text(), u"已复制 2 个短网址"_s);
        QTRY_COMPARE_WITH_TIMEOUT(summary->text(), u"完成 2 个，失败 1 个"_s, 6000);
    }

    void theListMenuOpensPastesCopiesAndClears() {
        test::pasteUrls(*window_, {u"a.example.test/1"_s, u"http://a.example.test/bad"_s});
        QTest::mouseClick(control<QPushButton>(window_, u"按钮生成"_s), Qt::LeftButton);
        QVERIFY(test::waitForBatch(*window_));
        list_->selectAll();

        triggerMenu(0, u"复制所选短网址"_s);
        QCOMPARE(QApplication::clipboard()->text(), u"https://s.example.test/r1\r\n"_s);
        triggerMenu(0, u"复制所选行（短网址 + 长网址）"_s);
        QCOMPARE(QApplication::clipboard()->text(),
                 u"https://s.example.test/r1\thttp://a.example.test/1\r\n"
                 u"生成错误\thttp://a.example.test/bad\r\n"_s);

        const std::filesystem::path file = session_->sandbox().dir().path() / "one a line.txt";
        test::writeFile(file, "x.test/1\r\nnot an address\r\n");
        FileDialog::setNextFileName(QString::fromStdString(file.string()));
        triggerMenu(-1, u"打开列表文件…"_s);
        QCOMPARE(longUrls().mid(2),
                 QStringList({u"http://x.test/1"_s, u"http://not an address"_s}));
        QCOMPARE(test::rowsOf(list_)[3].state, 1);

        QApplication::clipboard()->setText(u"y.test/1"_s);
        triggerMenu(-1, u"粘贴"_s);
        QCOMPARE(longUrls(), QStringList{u"http://y.test/1"_s});
        triggerMenu(-1, u"清除"_s);
        QCOMPARE(list_->topLevelItemCount(), 0);
    }

private:
    void drop(const QMimeData& data) {
        // As a drag arrives: it enters first, and is dropped only where it was taken.
        const QPoint at(40, 40);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list_->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent event(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list_->viewport(), &event);
    }

    QStringList longUrls() const {
        QStringList urls;
        for (const test::Row& row : test::rowsOf(list_)) urls.append(row.longUrl);
        return urls;
    }

    // Right-clicks row `row` (-1: below the rows) and picks `caption` from the menu.
    void triggerMenu(int row, const QString& caption) {
        const QPoint at = row < 0 ? QPoint(20, list_->viewport()->height() - 10)
                                  : list_->visualItemRect(list_->topLevelItem(row)).center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, list_->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list_->viewport(), &click);
        auto* menu = window_->findChild<QMenu*>(u"菜单结果"_s);
        QVERIFY(menu);
        QAction* picked = nullptr;
        for (QAction* action : menu->actions())
            if (action->text() == caption) picked = action;
        QVERIFY2(picked && picked->isEnabled(), qPrintable(caption));
        picked->trigger();
        menu->close();
        delete menu;
    }

    std::unique_ptr<test::ServedSession> session_;
    MainWindow* window_ = nullptr;
    QTreeWidget* list_ = nullptr;
};

QTEST_MAIN(InputTest)
#include "input_test.moc"

// The QR code of a short address, from the context menus of the results list
// and of the history window: the dialog's image must read back as the address.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <memory>

#include "history/conversionhistory.h"
#include "support/qrdecode.h"
#include "ui/dialogs.h"
#include "ui/historywindow.h"
#include "ui/mainwindow.h"
#include "ui/qrcodedialog.h"
#include "uitestkit.h"

using namespace Qt::Literals::StringLiterals;
using namespace lianshuo;
using test::control;

namespace {

// Right-clicks `point` of `view`'s viewport as a mouse does; the menu shown, or null.
QMenu* rightClick(QAbstractItemView* view, const QPoint& point, const QString& menuName) {
    QContextMenuEvent event(QContextMenuEvent::Mouse, point, view->viewport()->mapToGlobal(point));
    QApplication::sendEvent(view->viewport(), &event);
    return view->window()->findChild<QMenu*>(menuName);
}

QAction* qrAction(QMenu* menu) {
    for (QAction* action : menu->actions())
        if (action->text() == u"二维码…"_s) return action;
    return nullptr;
}

}  // namespace

class QrCodeTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        session_ = std::make_unique<test::ServedSession>();
        QVERIFY(session_->isOpen());
        window_ = &session_->window();
        control<QCheckBox>(window_, u"选择框自动保存到目录"_s)->setChecked(false);
    }

    void cleanup() { session_.reset(); }

    void aConvertedRowsCodeReadsBackAndSavesAsPng() {
        test::pasteUrls(*window_, {u"http://a.example.test/1"_s, u"http://a.example.test/bad"_s});
        QTest::mouseClick(control<QPushButton>(window_, u"按钮生成"_s), Qt::LeftButton);
        QVERIFY(test::waitForBatch(*window_));
        auto* view = control<QTreeWidget>(window_, u"列表框转换"_s);
        const auto centreOf = [view](int row) {
            return view->visualItemRect(view->topLevelItem(row)).center();
        };

        // The failed row has no address to show.
        QMenu* menu = rightClick(view, centreOf(1), u"菜单结果"_s);
        QVERIFY(menu);
        QVERIFY(qrAction(menu) && !qrAction(menu)->isEnabled());
        menu->close();
        QTRY_VERIFY(!window_->findChild<QMenu*>(u"菜单结果"_s));

        menu = rightClick(view, centreOf(0), u"菜单结果"_s);
        QVERIFY(menu);
        // The right click still copies the row, as the column header says.
        QCOMPARE(QApplication::clipboard()->text(), u"https://s.example.test/r1"_s);
        QVERIFY(qrAction(menu) && qrAction(menu)->isEnabled());
        qrAction(menu)->trigger();
        menu->close();
        auto* dialog = window_->findChild<QrCodeDialog*>();
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));

        QTest::mouseClick(control<QPushButton>(dialog, u"按钮复制图片"_s), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->image().convertToFormat(QImage::Format_Grayscale8),
                 dialog->image());

        const test::TempDir dir;
        const QString file = QString::fromStdString((dir / "code.png").string());
        FileDialog::setNextFileName(file);
        QTest::mouseClick(control<QPushButton>(dialog, u"按钮保存PNG"_s), Qt::LeftButton);
        const test::DecodedQr decoded = test::decodeQrImage(dir / "code.png");
        QCOMPARE(decoded.status, 0);
        QCOMPARE(QString::fromStdString(decoded.text), u"https://s.example.test/r1"_s);

        // A file that cannot be written says why.
        FileDialog::setNextFileName(QString::fromStdString((dir / "none" / "code.png").string()));
        MessageBox::setNextAnswer(QMessageBox::Ok);
        QTest::mouseClick(control<QPushButton>(dialog, u"按钮保存PNG"_s), Qt::LeftButton);
        QVERIFY2(MessageBox::lastText().contains(u"无法保存"_s),
                 qPrintable(MessageBox::lastText()));
        QVERIFY(!std::filesystem::exists(dir / "none"));
    }

    void theHistoryWindowOffersTheCodeOfAKeptAddress() {
        {
            ConversionHistory history;
            QVERIFY(history.open(window_->historyPath()).ok());
            QVERIFY(history.record("k", "http://a.example.test/7", "http://s.test/7").ok());
        }
        showHistoryWindow(window_, window_->historyPath());
        auto* historyWindow = window_->findChild<HistoryWindow*>();
        QVERIFY(historyWindow);
        QVERIFY(QTest::qWaitForWindowExposed(historyWindow));
        auto* table = control<QTableView>(historyWindow, u"列表框历史"_s);
        QTRY_COMPARE(table->model()->rowCount(), 1);
        QMenu* menu = rightClick(table, table->visualRect(table->model()->index(0, 0)).center(),
                                 u"菜单历史"_s);
        QVERIFY(menu);
        QVERIFY(qrAction(menu) && qrAction(menu)->isEnabled());
        qrAction(menu)->trigger();
        menu->close();
        auto* dialog = historyWindow->findChild<QrCodeDialog*>();
        QVERIFY(dialog);
        const test::TempDir dir;
        QVERIFY(dialog->image().save(QString::fromStdString((dir / "code.png").string())));
        const test::DecodedQr decoded = test::decodeQrImage(dir / "code.png");
        QCOMPARE(decoded.status, 0);
        QCOMPARE(QString::fromStdString(decoded.text), u"http://s.test/7"_s);
    }

private:
    std::unique_ptr<test::ServedSession> session_;
    MainWindow* window_ = nullptr;
};

QTEST_MAIN(QrCodeTest)
#include "qrcode_test.moc"

// What the main window tells the user about failures: the reason of each
// failed row, the batch's summary, a results file that cannot be written,
// stored values out of range, and the start button's caption and key.

#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <memory>

#include "http/webrequest.h"
#include "store/controlstatestore.h"
#include "store/settings.h"
#include "support/test_pages.h"
#include "support/test_server.h"
#include "ui/application.h"
#include "ui/dialogs.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "ui/resultslist.h"
#include "uitestkit.h"

using namespace Qt::Literals::StringLiterals;
using namespace lianshuo;
using test::control;

class FailuresTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        session_ = std::make_unique<test::ServedSession>();
        QVERIFY(session_->isOpen());
        window_ = &session_->window();
        service_ = &session_->service();
        control<QLineEdit>(window_, u"编辑框保存目录"_s)
            ->setText(QString::fromStdString((session_->sandbox().dir() / "out").string()));
    }

    void cleanup() { session_.reset(); }

    void aFailedRowKeepsItsReasonAndTheBatchSumsUp() {
        test::pasteUrls(*window_, {u"a.test/1"_s, u"http://a.test/bad"_s, u"a.test/3"_s});
        QTest::mouseClick(generate(), Qt::LeftButton);
        QVERIFY(test::waitForBatch(*window_));

        auto* list = control<QTreeWidget>(window_, u"列表框转换"_s);
        QTreeWidgetItem* failed = list->topLevelItem(1);
        QCOMPARE(failed->text(0), u"生成错误"_s);
        QVERIFY2(failed->toolTip(0).startsWith(u"回复中找不到短网址"_s),
                 qPrintable(failed->toolTip(0)));
        QVERIFY(list->topLevelItem(0)->toolTip(0).isEmpty());
        QCOMPARE(control<QLabel>(window_, u"标签批量摘要"_s)->text(), u"完成 2 个，失败 1 个"_s);

        // A double-click on the failed row explains instead of opening nothing.
        MessageBox::setNextAnswer(QMessageBox::Ok);
        emit list->itemDoubleClicked(failed, 0);
        QVERIFY(MessageBox::lastText().contains(failed->toolTip(0)));
        QVERIFY(session_->opened().isEmpty());
    }

    void aResultsFileThatCannotBeCreatedIsReported() {
        const auto blocker = session_->sandbox().dir() / "plain";
        test::writeFile(blocker, "x");
        control<QLineEdit>(window_, u"编辑框保存目录"_s)
            ->setText(QString::fromStdString((blocker / "sub").string()));
        test::pasteUrls(*window_, {u"a.test/1"_s});
        MessageBox::setNextAnswer(QMessageBox::Ok);
        QTest::mouseClick(generate(), Qt::LeftButton);
        QVERIFY(test::waitForBatch(*window_));
        QVERIFY2(MessageBox::lastText().contains(u"无法创建结果文件"_s),
                 qPrintable(MessageBox::lastText()));
        QVERIFY(window_->resultFilePath().empty());
    }

    void returnOutsideListsStartsTheBatch() {
        test::pasteUrls(*window_, {u"a.test/1"_s});
        auto* interval = control<QLineEdit>(window_, u"编辑框生成间隔秒"_s);
        interval->setFocus();
        QTest::keyClick(interval, Qt::Key_Return);
        QVERIFY(test::waitForBatch(*window_));
        QCOMPARE(service_->requestCount(), 1);
        auto* list = control<QTreeWidget>(window_, u"列表框转换"_s);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(service_->requestCount(), 1);
    }

    void theStopCaptionStaysReadableForHugeLists() {
        for (const QString& caption : {u"停止生成(100000:100000)"_s, u"停止生成(1000:999)"_s}) {
            window_->setGenerateCaption(fromQt(caption));
            const QFontMetrics metrics(generate()->font());
            QVERIFY2(metrics.horizontalAdvance(caption) <= generate()->width() - 12,
                     qPrintable(caption));
            QVERIFY(generate()->font().pixelSize() >= 9);
        }
        window_->setGenerateCaption("生成短网址");
        QCOMPARE(generate()->font().pixelSize(), 29);
    }

    void aStoredServiceOutOfRangeFallsBackToTheDefault() {
        session_.reset();  // each start below binds the settings store to a file of its own
        for (const char* stored : {"7", "-1"}) {
            test::SettingsSandbox sandbox;
            settingsStore().selectSection("基本配置");
            QVERIFY(settingsStore().writeText("短网址索引", stored));
            MainWindow window;
            QCOMPARE(control<QComboBox>(&window, u"组合框短网址"_s)->currentIndex(), 1);
        }
    }

    void closingTheWindowAbortsTheRequestInFlight() {
        test::TestServer hanging;
        hanging.route("/short", test::neverAnswer());
        test::useCustomInterface(*window_, toQt(hanging.url("/short?u=#长网址#")));
        test::pasteUrls(*window_, {u"a.test/1"_s, u"a.test/2"_s});
        QTest::mouseClick(generate(), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&hanging] { return !hanging.requests().empty(); }));
        window_->close();
        // Far less than the request's time-out: the close aborted it.
        QVERIFY(test::waitForBatch(*window_, 5000));
        const QList<test::Row> rows = test::rowsOf(*window_);
        QCOMPARE(rows[0].state, 2);  // aborted: not converted, not failed
        QCOMPARE(rows[1].state, 2);
        QCOMPARE(hanging.requests().size(), std::size_t{1});
    }

    void standardButtonsSpeakChinese() {
        QVERIFY(installQtTranslations());
        QMessageBox box(QMessageBox::Question, u"t"_s, u"q"_s, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.button(QMessageBox::Yes)->text().remove(u'&'), u"是(Y)"_s.remove(u'&'));
    }

private:
    QPushButton* generate() const { return control<QPushButton>(window_, u"按钮生成"_s); }

    std::unique_ptr<test::ServedSession> session_;
    test::FakeShortService* service_ = nullptr;
    MainWindow* window_ = nullptr;
};

QTEST_MAIN(FailuresTest)
#include "failures_test.moc"

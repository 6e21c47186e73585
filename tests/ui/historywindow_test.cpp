// The history as the user meets it in the windows: reused rows in the main
// window, the setting "使用历史", and the history window opened from the
// banner, with its search, copy, open, delete and export.

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <memory>

#include "base/paths.h"
#include "history/conversionhistory.h"
#include "store/controlstatestore.h"
#include "store/settings.h"
#include "support/fake_shortlinks.h"
#include "ui/clickables.h"
#include "ui/dialogs.h"
#include "ui/historymodel.h"
#include "ui/historywindow.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "uitestkit.h"

using namespace Qt::Literals::StringLiterals;
using namespace lianshuo;
using test::control;

class HistoryWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        session_ = std::make_unique<test::ServedSession>();
        QVERIFY(session_->isOpen());
        window_ = &session_->window();
        service_ = &session_->service();
        control<QCheckBox>(window_, u"选择框自动保存到目录"_s)->setChecked(false);
    }

    void cleanup() { session_.reset(); }

    void aSecondBatchShowsTheKeptAddressesWithoutAsking() {
        test::pasteUrls(*window_, {u"http://a.example.test/1"_s, u"http://a.example.test/2"_s});
        generate();
        QCOMPARE(service_->requestCount(), 2);
        const QList<test::Row> first = test::rowsOf(*window_);
        QCOMPARE(first[1].text, u"https://s.example.test/r2"_s);

        generate();
        QCOMPARE(service_->requestCount(), 2);
        QCOMPARE(test::rowsOf(*window_), first);
        QCOMPARE(results()->topLevelItem(0)->toolTip(0), u"来自历史"_s);

        // Turned off, the service is asked again, and what it answers is kept.
        control<QCheckBox>(window_, u"选择框使用历史"_s)->setChecked(false);
        generate();
        QCOMPARE(service_->requestCount(), 4);
        QCOMPARE(results()->topLevelItem(0)->toolTip(0), QString());
        control<QCheckBox>(window_, u"选择框使用历史"_s)->setChecked(true);
        generate();
        QCOMPARE(service_->requestCount(), 4);
        QCOMPARE(test::rowsOf(*window_)[1].text, u"https://s.example.test/r4"_s);
    }

    void theSettingIsWrittenOnlyWhileItIsOff() {
        control<QCheckBox>(window_, u"选择框使用历史"_s)->setChecked(false);
        window_->close();
        settingsStore().selectSection(fromQt(u"基本配置"_s));
        QVERIFY(!settingsStore().readBool(fromQt(u"使用历史"_s), true));
        // A new window starts with the box as it was left; turned on again, the key goes.
        MainWindow again;
        auto* box = control<QCheckBox>(&again, u"选择框使用历史"_s);
        QVERIFY(!box->isChecked());
        box->setChecked(true);
        again.close();
        settingsStore().selectSection(fromQt(u"基本配置"_s));
        QCOMPARE(settingsStore().readText(fromQt(u"使用历史"_s), "missing"),
                 std::string("missing"));
    }

    void aHistoryThatCannotBeUsedIsOneWarningAndTheBatchGoesOn() {
        test::writeFile(nativePath(window_->historyPath()), std::string(4096, 'z'));
        test::pasteUrls(*window_, {u"http://a.example.test/1"_s, u"http://a.example.test/2"_s});
        MessageBox::setNextAnswer(QMessageBox::Ok);
        generate();
        QVERIFY2(MessageBox::lastText().contains(toQt(window_->historyPath())),
                 qPrintable(MessageBox::lastText()));
        QCOMPARE(service_->requestCount(), 2);
        QCOMPARE(test::rowsOf(*window_)[1].state, 0);

        MessageBox::setNextAnswer(QMessageBox::Ok);
        QTest::mousePress(control<LinkLabel>(window_, u"链接历史记录"_s), Qt::LeftButton);
        QVERIFY(MessageBox::lastText().contains(u"历史"_s));
        QVERIFY(window_->findChildren<HistoryWindow*>().isEmpty());
    }

    void theHistoryWindowLoadsLazilyAndFindsDeletesAndExports() {
        {
            ConversionHistory history;
            QVERIFY(history.open(window_->historyPath()).ok());
            for (int i = 0; i < 1000; ++i) {
                const std::string n = std::to_string(i);
                QVERIFY(
                    history.record("k", "http://a.example.test/" + n + "x", "http://s.test/" + n)
                        .ok());
            }
        }
        QTest::mousePress(control<LinkLabel>(window_, u"链接历史记录"_s), Qt::LeftButton);
        auto* historyWindow = window_->findChild<HistoryWindow*>();
        QVERIFY(historyWindow);
        QVERIFY(QTest::qWaitForWindowExposed(historyWindow));
        HistoryTableModel& model = historyWindow->model();
        auto* table = control<QTableView>(historyWindow, u"列表框历史"_s);
        QTRY_VERIFY(!model.walking());
        QCOMPARE(model.rowCount(), HistoryTableModel::kPageRows);
        QCOMPARE(model.entry(0).shortUrl, std::string("http://s.test/999"));
        table->scrollToBottom();
        QTRY_VERIFY(model.rowCount() > HistoryTableModel::kPageRows);

        control<QLineEdit>(historyWindow, u"编辑框搜索"_s)->setText(u"/777X"_s);
        QTRY_VERIFY(model.rowCount() == 1 && !model.walking());
        QCOMPARE(model.entry(0).longUrl, std::string("http://a.example.test/777x"));

        table->selectRow(0);
        QTest::mouseClick(control<QPushButton>(historyWindow, u"按钮复制"_s), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), u"http://s.test/777\r\n"_s);
        QTest::mouseClick(control<QPushButton>(historyWindow, u"按钮打开"_s), Qt::LeftButton);
        QCOMPARE(session_->opened().constLast().target, u"http://s.test/777"_s);

        MessageBox::setNextAnswer(QMessageBox::Yes);
        QTest::mouseClick(control<QPushButton>(historyWindow, u"按钮删除"_s), Qt::LeftButton);
        QCOMPARE(model.rowCount(), 0);
        ConversionHistory check;
        QVERIFY(check.open(window_->historyPath()).ok());
        QVERIFY(!check.lookup("k", "http://a.example.test/777x").shortUrl);

        const std::filesystem::path csv = session_->sandbox().dir() / "all.csv";
        FileDialog::setNextFileName(QString::fromStdString(csv.string()));
        MessageBox::setNextAnswer(QMessageBox::Ok);
        QTest::mouseClick(control<QPushButton>(historyWindow, u"按钮导出"_s), Qt::LeftButton);
        const std::string text = test::readFile(csv);
        QVERIFY(text.starts_with(
            "\xEF\xBB\xBF" +
            u"短网址,长网址,服务,生成时间,最后使用,次数,状态,指向,检查时间\r\n"_s.toStdString()));
        QCOMPARE(std::count(text.begin(), text.end(), '\n'), 1000);
        historyWindow->close();
    }

    void theHistoryTableNamesServicesAndSortsByClickedColumns() {
        auto history = std::make_unique<ConversionHistory>();
        QVERIFY(history->open(window_->historyPath()).ok());
        std::int64_t now = 1700000000;
        history->setClock([&now] { return now; });
        // Made in this order, a day apart; used 9, 10 and 1 times: as text "9" > "10".
        const std::pair<const char*, int> made[] = {{"custom:127.0.0.1:5800:580abd3b838b4285", 9},
                                                    {"baidu:dwz.cn", 10},
                                                    {"weibo:t.test", 1}};
        for (const auto& [key, uses] : made) {
            const std::string n = std::to_string(uses);
            QVERIFY(history->record(key, "http://a.test/" + n, "http://s.test/" + n).ok());
            for (int use = 1; use < uses; ++use) history->lookup(key, "http://a.test/" + n);
            now += 86400;
        }
        // More than a page of later rows, used once each: a sort must reach behind them.
        for (int i = 0; i < HistoryTableModel::kPageRows; ++i) {
            const std::string n = "x" + std::to_string(i);
            QVERIFY(
                history->record("tinyurl:t.test", "http://a.test/" + n, "http://s.test/" + n).ok());
        }
        QVERIFY(history->flushUses().ok());
        HistoryWindow historyWindow(std::move(history), nullptr);
        HistoryTableModel& model = historyWindow.model();
        QTRY_VERIFY(!model.walking());
        QCOMPARE(model.rowCount(), HistoryTableModel::kPageRows);
        const auto firstThree = [&model](int column) {
            QStringList texts;
            for (int row = 0; row < 3; ++row) texts << model.index(row, column).data().toString();
            return texts;
        };

        auto* header = control<QTableView>(&historyWindow, u"列表框历史"_s)->horizontalHeader();
        const auto click = [header](int section) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(section) + 10, 5));
        };
        click(HistoryTableModel::UsesColumn);
        click(HistoryTableModel::UsesColumn);
        QTRY_COMPARE(model.rowCount(), HistoryTableModel::kPageRows + 3);
        QCOMPARE(firstThree(HistoryTableModel::UsesColumn), (QStringList{u"10"_s, u"9"_s, u"1"_s}));
        click(HistoryTableModel::CreatedColumn);
        QCOMPARE(firstThree(HistoryTableModel::ShortColumn),
                 (QStringList{u"http://s.test/9"_s, u"http://s.test/10"_s, u"http://s.test/1"_s}));
        QCOMPARE(firstThree(HistoryTableModel::ServiceColumn),
                 (QStringList{u"127.0.0.1:5800"_s, u"百度"_s, u"新浪"_s}));
        QCOMPARE(model.index(3, HistoryTableModel::ServiceColumn).data().toString(), u"TinyURL"_s);
        // The entry behind a sorted row is the one it shows.
        QCOMPARE(model.entry(0).shortUrl, std::string("http://s.test/9"));
    }

    // A new short address is asked where it leads; the box is kept only while on.
    void theVerifyBoxFailsAWrongTargetAndSaysWhyOneCouldNotBeVerified() {
        test::TestServer server;
        test::FakeShortener shortener(server);
        shortener.answer("wrong", test::FakeShortener::Answer::Elsewhere);
        shortener.answer("page", test::FakeShortener::Answer::Page);
        test::useCustomInterface(
            *window_, QString::fromStdString(shortener.interfaceAddress()) + u"#长网址#"_s);
        control<QCheckBox>(window_, u"选择框验证短网址"_s)->setChecked(true);
        test::pasteUrls(*window_, {u"http://a.test/right"_s, u"http://a.test/wrong"_s,
                                   u"http://a.test/page"_s});
        generate();
        const QList<test::Row> rows = test::rowsOf(*window_);
        QCOMPARE(rows[0].state, 0);
        QVERIFY(rows[0].text.startsWith(QString::fromStdString(server.url("/s/"))));
        QCOMPARE(rows[1].state, 1);
        QCOMPARE(results()->topLevelItem(1)->toolTip(0),
                 u"短网址指向了别处：http://parked.test/landing"_s);
        QCOMPARE(rows[2].state, 0);
        QCOMPARE(results()->topLevelItem(2)->toolTip(0), u"未能验证：短网址没有跳转（HTTP 200）"_s);
        window_->close();
        settingsStore().selectSection(fromQt(u"基本配置"_s));
        QCOMPARE(settingsStore().readText(fromQt(u"验证短网址"_s), "missing"), std::string("1"));
    }

    // 检查 runs in the background, keeps what it found, and the filter shows one state.
    void theCheckButtonFindsADeadLinkAndTheFilterShowsIt() {
        test::TestServer server;
        test::FakeShortener shortener(server);
        shortener.answer("dead", test::FakeShortener::Answer::NotFound);
        {
            ConversionHistory history;
            QVERIFY(history.open(window_->historyPath()).ok());
            for (const std::string longUrl : {"http://a.test/live", "http://a.test/dead"})
                QVERIFY(history.record("k", longUrl, shortener.shortUrlFor(longUrl)).ok());
        }
        QTest::mousePress(control<LinkLabel>(window_, u"链接历史记录"_s), Qt::LeftButton);
        auto* historyWindow = window_->findChild<HistoryWindow*>();
        QVERIFY(historyWindow);
        HistoryTableModel& model = historyWindow->model();
        QTRY_VERIFY(!model.walking());
        auto* check = control<QPushButton>(historyWindow, u"按钮检查"_s);
        MessageBox::setNextAnswer(QMessageBox::Ok);
        QTest::mouseClick(check, Qt::LeftButton);
        QVERIFY(historyWindow->checking());
        QCOMPARE(check->text(), u"停止检查"_s);
        QTRY_VERIFY(!historyWindow->checking());
        QVERIFY2(MessageBox::lastText().contains(u"有效 1，失效 1"_s),
                 qPrintable(MessageBox::lastText()));
        QCOMPARE(check->text(), u"检查"_s);

        auto* filter = control<QComboBox>(historyWindow, u"组合框状态筛选"_s);
        filter->setCurrentIndex(filter->findText(u"失效"_s));
        QTRY_VERIFY(!model.walking() && model.rowCount() == 1);
        QCOMPARE(model.entry(0).longUrl, std::string("http://a.test/dead"));
        QCOMPARE(model.data(model.index(0, HistoryTableModel::StateColumn)).toString(), u"失效"_s);
        historyWindow->close();
    }

private:
    void generate() {
        QTest::mouseClick(control<QPushButton>(window_, u"按钮生成"_s), Qt::LeftButton);
        QVERIFY(test::waitForBatch(*window_));
    }
    QTreeWidget* results() const { return control<QTreeWidget>(window_, u"列表框转换"_s); }

    std::unique_ptr<test::ServedSession> session_;
    test::FakeShortService* service_ = nullptr;
    MainWindow* window_ = nullptr;
};

QTEST_MAIN(HistoryWindowTest)
#include "historywindow_test.moc"

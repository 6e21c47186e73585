// The batch as the user runs it from the main window: it goes on in the
// event loop after the start click, so the tests run the loop pass by pass
// and look at the window between passes.

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <memory>

#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "uitestkit.h"

using namespace Qt::Literals::StringLiterals;
using namespace lianshuo;
using test::control;

class BatchTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        session_ = std::make_unique<test::ServedSession>();
        QVERIFY(session_->isOpen());
        window_ = &session_->window();
        service_ = &session_->service();
        folder_ = QString::fromStdString((session_->sandbox().dir() / "out").string());
        control<QLineEdit>(window_, u"编辑框保存目录"_s)->setText(folder_);
        generate_ = control<QPushButton>(window_, u"按钮生成"_s);
        captions_.clear();
    }

    void cleanup() { session_.reset(); }

    void startConvertsEveryRowAndWritesTheSuccesses() {
        test::pasteUrls(*window_, {u"a.example.test/1"_s, u"http://a.example.test/bad"_s,
                                   u"https://a.example.test/3"_s});
        bool pasteEnabledDuringRun = false;
        runBatch([&] { pasteEnabledDuringRun |= pasteButton()->isEnabled(); });

        QCOMPARE(captions_, QStringList({u"停止生成(3:1)"_s, u"停止生成(3:2)"_s, u"停止生成(3:3)"_s,
                                         u"生成短网址"_s}));
        QCOMPARE(generate_->text(), u"生成短网址"_s);
        QVERIFY(!pasteEnabledDuringRun);
        QVERIFY(pasteButton()->isEnabled());
        const QList<test::Row> expected = {
            {u"https://s.example.test/r1"_s, u"http://a.example.test/1"_s, 0},
            {u"生成错误"_s, u"http://a.example.test/bad"_s, 1},
            {u"https://s.example.test/r3"_s, u"https://a.example.test/3"_s, 0}};
        QCOMPARE(test::rowsOf(*window_), expected);

        const QFileInfo first(toQt(window_->resultFilePath()));
        QCOMPARE(first.absolutePath(), folder_);
        const QRegularExpression name(
            u"^127\\.0\\.0\\.1:\\d+_\\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d\\.txt$"_s);
        QVERIFY2(name.match(first.fileName()).hasMatch(), qPrintable(first.fileName()));
        const std::string firstContent =
            "https://s.example.test/r1\r\nhttps://s.example.test/r3\r\n";
        QCOMPARE(test::readFile(first.filePath().toStdString()), firstContent);

        // A second run without the history converts every row again and never replaces the
        // first file.
        control<QCheckBox>(window_, u"选择框使用历史"_s)->setChecked(false);
        captions_.clear();
        runBatch();
        QCOMPARE(service_->requestCount(), 6);
        QCOMPARE(test::rowsOf(*window_)[2].text, u"https://s.example.test/r6"_s);
        QVERIFY(toQt(window_->resultFilePath()) != first.filePath());
        QCOMPARE(test::readFile(first.filePath().toStdString()), firstContent);
        QCOMPARE(test::readFile(window_->resultFilePath()),
                 std::string("https://s.example.test/r4\r\nhttps://s.example.test/r6\r\n"));
    }

    void aShortAddressIsLeftAsItIsWithoutARequest() {
        test::pasteUrls(*window_, {u"http://t.cn/abc"_s, u"http://a.example.test/1"_s});
        runBatch();
        const QList<test::Row> expected = {
            {u"http://t.cn/abc"_s, u"http://t.cn/abc"_s, 0},
            {u"https://s.example.test/r1"_s, u"http://a.example.test/1"_s, 0}};
        QCOMPARE(test::rowsOf(*window_), expected);
        const auto* list = control<QTreeWidget>(window_, u"列表框转换"_s);
        QCOMPARE(list->topLevelItem(0)->toolTip(0), u"已是短网址"_s);
        QCOMPARE(service_->requestCount(), 1);
    }

    void stopDuringThePauseAfterRowTwoOfFive() {
        test::pasteUrls(
            *window_, {u"s.test/1"_s, u"s.test/2"_s, u"s.test/3"_s, u"s.test/4"_s, u"s.test/5"_s});
        auto* interval = control<QLineEdit>(window_, u"编辑框生成间隔秒"_s);
        QString captionAfterStop;
        runBatch([&] {
            // The batch reads the interval when a row ends: only the pause after row two is long.
            if (generate_->text() == u"停止生成(5:2)"_s) interval->setText(u"30"_s);
            const bool rowTwoDone = test::rowsOf(*window_)[1].state == 0;
            if (!rowTwoDone || !captionAfterStop.isEmpty()) return;
            QTest::mouseClick(generate_, Qt::LeftButton);
            captionAfterStop = generate_->text();
        });

        QCOMPARE(captions_, QStringList({u"停止生成(5:1)"_s, u"停止生成(5:2)"_s, u"生成短网址"_s}));
        QCOMPARE(captionAfterStop, u"正在停止.."_s);
        QCOMPARE(service_->requestCount(), 2);
        const QList<test::Row> rows = test::rowsOf(*window_);
        QCOMPARE(rows[1].text, u"https://s.example.test/r2"_s);
        for (int i = 2; i < 5; ++i)
            QCOMPARE(rows[i], (test::Row{u"等待转换"_s, u"http://s.test/%1"_s.arg(i + 1), 2}));
    }

    void intervalTextDecidesThePause_data() {
        QTest::addColumn<QString>("interval");
        QTest::addColumn<bool>("pauses");
        QTest::newRow("one and a half seconds") << u"1.5"_s << true;
        QTest::newRow("negative") << u"-3"_s << false;
        QTest::newRow("not a number") << u"abc"_s << false;
    }

    void intervalTextDecidesThePause() {
        QFETCH(QString, interval);
        QFETCH(bool, pauses);
        test::pasteUrls(*window_, {u"p.test/1"_s, u"p.test/2"_s});
        control<QLineEdit>(window_, u"编辑框生成间隔秒"_s)->setText(interval);
        runBatch();

        QCOMPARE(service_->requestCount(), 2);
        const auto arrivals = service_->arrivals();
        QCOMPARE(arrivals[1] - arrivals[0] >= std::chrono::milliseconds(1500), pauses);
    }

    void aModalBoxNeverHoldsTheBatchUp() {
        test::pasteUrls(*window_, {u"m.test/1"_s, u"m.test/2"_s, u"m.test/3"_s, u"m.test/4"_s});
        control<QLineEdit>(window_, u"编辑框生成间隔秒"_s)->setText(u"0.05"_s);
        // A box opened from the event loop while row one converts, as 疑点说明 would be; it
        // closes once the batch has ended, or gives up after 20 s.
        bool endedWhileOpen = false;
        bool closed = false;
        QTimer::singleShot(0, window_, [&] {
            QMessageBox box(QMessageBox::Information, u"蓝棠"_s, u"疑点说明"_s, QMessageBox::Ok,
                            window_);
            QElapsedTimer open;
            open.start();
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, &box, [&] {
                if (!window_->batchRunning() || open.elapsed() > 20000) box.accept();
            });
            poll.start(10);
            box.exec();
            endedWhileOpen = !window_->batchRunning();
            closed = true;
        });
        QTest::mouseClick(generate_, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return closed; }, 30000));
        QVERIFY(endedWhileOpen);
        for (const test::Row& row : test::rowsOf(*window_)) QCOMPARE(row.state, 0);
        QCOMPARE(generate_->text(), u"生成短网址"_s);
    }

    void parallelRowsStillFinishInTheirOrder() {
        QStringList urls;
        for (int i = 1; i <= 12; ++i) urls << u"q.test/%1"_s.arg(i);
        test::pasteUrls(*window_, urls);
        control<QSpinBox>(window_, u"编辑框并发数"_s)->setValue(4);
        // Rows finish in the list's order: never a done row after one still converting.
        bool outOfOrder = false;
        runBatch([&] {
            bool open = false;
            for (const test::Row& row : test::rowsOf(*window_)) {
                outOfOrder |= open && row.state == 0;
                open |= row.state != 0;
            }
        });
        QVERIFY(!outOfOrder);
        QCOMPARE(service_->requestCount(), 12);
        QStringList lines = QString::fromStdString(test::readFile(window_->resultFilePath()))
                                .split(u"\r\n"_s, Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 12);
        const QList<test::Row> rows = test::rowsOf(*window_);
        for (int i = 0; i < 12; ++i) QCOMPARE(lines[i], rows[i].text);
    }

private:
    QPushButton* pasteButton() const { return control<QPushButton>(window_, u"按钮粘贴"_s); }

    // Clicks start, then runs the event loop pass by pass until the batch has
    // ended: each pass records the start button's caption when it changed, then runs `step`.
    void runBatch(const std::function<void()>& step = {}) {
        QTest::mouseClick(generate_, Qt::LeftButton);
        QElapsedTimer running;
        running.start();
        for (;;) {
            if (captions_.isEmpty() || captions_.constLast() != generate_->text())
                captions_.append(generate_->text());
            if (!window_->batchRunning() || running.elapsed() > 20000) break;
            if (step) step();
            QCoreApplication::processEvents();
        }
        QVERIFY(!window_->batchRunning());
    }

    std::unique_ptr<test::ServedSession> session_;
    test::FakeShortService* service_ = nullptr;
    MainWindow* window_ = nullptr;
    QPushButton* generate_ = nullptr;
    QString folder_;
    QStringList captions_;
};

QTEST_MAIN(BatchTest)
#include "batch_test.moc"

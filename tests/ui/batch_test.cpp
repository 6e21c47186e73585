// The batch as the user runs it from the main window: it runs inside the
// click on the start button, so the tests watch it through the message pump,
// which it calls after every row and throughout every pause.

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <functional>
#include <memory>

#include "app/base/messages.h"
#include "ui/application.h"
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
        service_ = std::make_unique<test::FakeShortService>();
        session_ = std::make_unique<test::WindowSession>();
        QVERIFY(session_->isOpen());
        window_ = &session_->window();
        test::useCustomInterface(*window_, service_->interfaceAddress());
        folder_ = QString::fromStdString((session_->sandbox().dir() / "out").string());
        control<QLineEdit>(window_, u"编辑框保存目录"_s)->setText(folder_);
        generate_ = control<QPushButton>(window_, u"按钮生成"_s);
        captions_.clear();
    }

    void cleanup() {
        installWindowHooks();
        session_.reset();
        service_.reset();
    }

    void startConvertsEveryRowAndWritesTheSuccesses() {
        test::pasteUrls(*window_, {u"a.example.test/1"_s, u"http://a.example.test/bad"_s,
                                   u"https://a.example.test/3"_s});
        bool pasteEnabledDuringRun = false;
        watch([&] { pasteEnabledDuringRun |= pasteButton()->isEnabled(); });
        QTest::mouseClick(generate_, Qt::LeftButton);

        QCOMPARE(captions_,
                 QStringList({u"停止生成(3:1)"_s, u"停止生成(3:2)"_s, u"停止生成(3:3)"_s}));
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
        QTest::mouseClick(generate_, Qt::LeftButton);
        QCOMPARE(service_->requestCount(), 6);
        QCOMPARE(test::rowsOf(*window_)[2].text, u"https://s.example.test/r6"_s);
        QVERIFY(toQt(window_->resultFilePath()) != first.filePath());
        QCOMPARE(test::readFile(first.filePath().toStdString()), firstContent);
        QCOMPARE(test::readFile(window_->resultFilePath()),
                 std::string("https://s.example.test/r4\r\nhttps://s.example.test/r6\r\n"));
    }

    void stopDuringThePauseAfterRowTwoOfFive() {
        test::pasteUrls(
            *window_, {u"s.test/1"_s, u"s.test/2"_s, u"s.test/3"_s, u"s.test/4"_s, u"s.test/5"_s});
        auto* interval = control<QLineEdit>(window_, u"编辑框生成间隔秒"_s);
        int pumpsAfterRowTwo = 0;
        QString captionAfterStop;
        watch([&] {
            const bool rowTwoDone = test::rowsOf(*window_)[1].state == 0;
            if (generate_->text() != u"停止生成(5:2)"_s || !rowTwoDone) return;
            // The batch reads the interval for every pause: only this one is long.
            if (++pumpsAfterRowTwo == 1) interval->setText(u"30"_s);
            if (pumpsAfterRowTwo != 2) return;
            QTest::mouseClick(generate_, Qt::LeftButton);
            captionAfterStop = generate_->text();
        });
        QTest::mouseClick(generate_, Qt::LeftButton);

        QCOMPARE(pumpsAfterRowTwo, 2);
        QCOMPARE(captions_, QStringList({u"停止生成(5:1)"_s, u"停止生成(5:2)"_s}));
        QCOMPARE(captionAfterStop, u"正在停止.."_s);
        QCOMPARE(generate_->text(), u"生成短网址"_s);
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
        // Pumps between the first result and the start of the second row: one
        // right after the row, and more only when there is a pause.
        int pumpsBetweenRows = 0;
        watch([&] {
            const QList<test::Row> rows = test::rowsOf(*window_);
            if (rows[0].state == 0 && rows[1].state == 2) ++pumpsBetweenRows;
        });
        QTest::mouseClick(generate_, Qt::LeftButton);

        QCOMPARE(service_->requestCount(), 2);
        if (pauses) {
            QVERIFY(pumpsBetweenRows > 1);
            const auto arrivals = service_->arrivals();
            QVERIFY(arrivals[1] - arrivals[0] >= std::chrono::milliseconds(1500));
        } else {
            QCOMPARE(pumpsBetweenRows, 1);
        }
    }

private:
    QPushButton* pasteButton() const { return control<QPushButton>(window_, u"按钮粘贴"_s); }

    // Every pump records the start button's caption when it changed, then runs `step`.
    void watch(std::function<void()> step) {
        setMessagePump([this, step] {
            if (captions_.isEmpty() || captions_.constLast() != generate_->text())
                captions_.append(generate_->text());
            step();
            QCoreApplication::processEvents();
        });
    }

    std::unique_ptr<test::FakeShortService> service_;
    std::unique_ptr<test::WindowSession> session_;
    MainWindow* window_ = nullptr;
    QPushButton* generate_ = nullptr;
    QString folder_;
    QStringList captions_;
};

QTEST_MAIN(BatchTest)
#include "batch_test.moc"

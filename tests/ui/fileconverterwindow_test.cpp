// The file converter window as the user drives it: opened from the banner,
// its settings across openings, and runs over a temporary folder against the
// local fake service. A run goes on in the event loop after the start
// press, so the tests watch and interrupt it between passes of the loop.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <functional>
#include <memory>

#include "jobs/fileconvertersettings.h"
#include "ui/clickables.h"
#include "ui/dialogs.h"
#include "ui/fileconverterwindow.h"
#include "ui/icons.h"
#include "ui/infobox.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "ui/resultslist.h"
#include "uitestkit.h"

using namespace Qt::Literals::StringLiterals;
using namespace lianshuo;
using test::control;
namespace fs = std::filesystem;

namespace {

const QString kIdle = u"开始转换短网址并替换原地址"_s;

QList<test::Row> resultRows(const FileConverterWindow* window) {
    return test::rowsOf(control<QTreeWidget>(window, u"列表框"_s));
}

}  // namespace

class FileConverterWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        session_ = std::make_unique<test::ServedSession>();
        QVERIFY(session_->isOpen());
        main_ = &session_->window();
        service_ = &session_->service();
        // Short pauses, so that the window's loop runs between two addresses.
        control<QLineEdit>(main_, u"编辑框生成间隔秒"_s)->setText(u"0.02"_s);
        main_->setFileConverterOpener([this] { showFileConverterWindow(*main_); });
        pages_ = session_->sandbox().dir() / "pages";
        fs::create_directories(pages_);
        folder_ = QString::fromStdString(pages_.string());
    }

    void cleanup() { session_.reset(); }

    void opensOnceShowsTheInitialContentAndKeepsItsSettings() {
        FileConverterWindow* window = open();
        QCOMPARE(window->windowTitle(),
                 u"文件短网址转换器 - 使用当前短网址设定，转换文本文件中的长网址为短网址"_s);
        QCOMPARE(window->size(), QSize(716, 506));
        // The banner's picture raises the open window rather than a second one.
        QTest::mouseClick(control<ClickableImage>(main_, u"图片框文件短网址转换器"_s),
                          Qt::LeftButton);
        QCOMPARE(main_->findChildren<FileConverterWindow*>().size(), 1);

        const FileConverterSettings defaults = defaultFileConverterSettings();
        QCOMPARE(edit(window, u"编辑框文章目录"_s)->text(), toQt(defaults.folder));
        QCOMPARE(edit(window, u"编辑框过滤"_s)->text(), u"*.htm"_s);
        QVERIFY(box(window, u"选择框白名单"_s)->isChecked());
        QCOMPARE(edit(window, u"编辑框白名单"_s)->text(), toQt(defaults.whiteList));
        QVERIFY(edit(window, u"编辑框白名单"_s)->isEnabled());
        QVERIFY(!box(window, u"选择框黑名单"_s)->isChecked());
        QCOMPARE(edit(window, u"编辑框黑名单"_s)->text(), u"*.js|*.css|*.jpg|*.png|*.gif"_s);
        QVERIFY(!edit(window, u"编辑框黑名单"_s)->isEnabled());
        QCOMPARE(mode(window, u"组合框白名单通配"_s)->currentIndex(), 0);
        QVERIFY(!control<QProgressBar>(window, u"进度条1"_s)->isVisible());

        // The folder chooser replaces the folder, and a cancelled one leaves it.
        FileDialog::setNextFileName(folder_);
        QTest::mouseClick(button(window, u"按钮选择"_s), Qt::LeftButton);
        FileDialog::setNextFileName(QString());
        QTest::mouseClick(button(window, u"按钮选择"_s), Qt::LeftButton);
        QCOMPARE(edit(window, u"编辑框文章目录"_s)->text(), folder_);

        // A cleared white list is locked but keeps its content, which is saved.
        QTest::mouseClick(box(window, u"选择框白名单"_s), Qt::LeftButton);
        QVERIFY(!edit(window, u"编辑框白名单"_s)->isEnabled());
        QVERIFY(!mode(window, u"组合框白名单通配"_s)->isEnabled());
        QTest::mouseClick(box(window, u"选择框黑名单"_s), Qt::LeftButton);
        QVERIFY(mode(window, u"组合框黑名单通配"_s)->isEnabled());
        mode(window, u"组合框黑名单通配"_s)->setCurrentIndex(1);
        edit(window, u"编辑框黑名单"_s)->setText(u"\\.css$"_s);
        edit(window, u"编辑框过滤"_s)->setText(u"*.txt"_s);
        QVERIFY(window->close());
        // New keys go right under the section header, so the last written comes first.
        QCOMPARE(toQt(test::readFile(session_->sandbox().file())),
                 u"[文件短网址转换器]\r\n过滤=*.txt\r\n文章目录="_s + folder_ +
                     u"\r\n黑名单模式=1\r\n白名单模式=0\r\n黑名单=\\.css$\r\n选择框黑名单=真\r\n"
                     u"白名单="_s +
                     toQt(defaults.whiteList) + u"\r\n选择框白名单=假"_s);

        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(main_->findChildren<FileConverterWindow*>().isEmpty());
        window = open();
        QVERIFY(!edit(window, u"编辑框白名单"_s)->isEnabled());
        QCOMPARE(edit(window, u"编辑框白名单"_s)->text(), toQt(defaults.whiteList));
        QVERIFY(edit(window, u"编辑框黑名单"_s)->isEnabled());
        QCOMPARE(edit(window, u"编辑框黑名单"_s)->text(), u"\\.css$"_s);
        QCOMPARE(mode(window, u"组合框黑名单通配"_s)->currentIndex(), 1);
        QCOMPARE(edit(window, u"编辑框文章目录"_s)->text(), folder_);

        // Closing the main window closes this one too, which saves its settings.
        edit(window, u"编辑框过滤"_s)->setText(u"*.ini"_s);
        main_->close();
        QVERIFY(!window->isVisible());
        QVERIFY(toQt(test::readFile(session_->sandbox().file())).contains(u"过滤=*.ini\r\n"_s));
    }

    void runsRewriteTheListedFilesAndAskToOpenTheResult() {
        const std::string pageA = fromQt(
            u"<p>首页 http://a.example.test/1 和 http://a.example.test/2</p>\r\n"
            u"<a href=\"http://a.example.test/1\">再来</a><link href=\"http://a.example.test/s.css\">\r\n"_s);
        const std::string pageB = "\xEF\xBB\xBFsee https://b.example.test/x?y=1\xE9\x93\xBE\n";
        const std::string notes = "http://c.example.test/\r\n";
        test::writeFile(pages_ / "a.htm", pageA);
        test::writeFile(pages_ / "b.html", pageB);
        test::writeFile(pages_ / "c.txt", notes);
        FileConverterWindow* window = open();
        edit(window, u"编辑框文章目录"_s)->setText(folder_);
        QTest::mouseClick(box(window, u"选择框白名单"_s), Qt::LeftButton);
        QTest::mouseClick(box(window, u"选择框黑名单"_s), Qt::LeftButton);
        edit(window, u"编辑框黑名单"_s)->setText(u"*.css"_s);
        QStringList captions;
        bool folderRowShown = false;
        QList<test::Row> rowsOfA;
        const auto captureCaptions = [&] {
            const auto* caption = control<QLabel>(window, u"透明标签1"_s);
            if (!caption->isVisible()) return;
            folderRowShown |= edit(window, u"编辑框文章目录"_s)->isVisible();
            if (captions.isEmpty() || captions.constLast() != caption->text())
                captions.append(caption->text());
            if (caption->text() == u"(2:1)a"_s) rowsOfA = resultRows(window);
        };
        watch(captureCaptions);

        MessageBox::setNextAnswer(QMessageBox::Yes);
        press(window, start(window));

        QCOMPARE(captions, QStringList({u"(2:1)a"_s, u"(2:2)b"_s}));
        QVERIFY(!folderRowShown);
        const QList<test::Row> expectedRows = {
            {u"https://s.example.test/r1"_s, u"http://a.example.test/1"_s, 0},
            {u"https://s.example.test/r2"_s, u"http://a.example.test/2"_s, 0}};
        QCOMPARE(rowsOfA, expectedRows);
        const QString results = folder_ + u"/处理结果/"_s;
        QCOMPARE(
            output(u"a.htm"_s),
            fromQt(
                u"<p>首页 https://s.example.test/r1 和 https://s.example.test/r2</p>\r\n"
                u"<a href=\"https://s.example.test/r1\">再来</a><link href=\"http://a.example.test/s.css\">\r\n"_s));
        QCOMPARE(output(u"b.html"_s),
                 std::string("\xEF\xBB\xBFsee https://s.example.test/r3\xE9\x93\xBE\n"));
        QVERIFY(!fs::exists(fs::path((results + u"c.txt"_s).toStdString())));
        QCOMPARE(test::readFile(pages_ / "a.htm"), pageA);
        QCOMPARE(test::readFile(pages_ / "b.html"), pageB);
        // The counts: the style sheet's address is left out by the black list.
        QCOMPARE(MessageBox::lastText(),
                 u"处理完成。处理的结果保存在这个目录："_s + results +
                     u"\r\n\r\n写入 2 个文件（其中 0 个没有网址被替换，与原文件相同）。\r\n"
                     u"转换 3 个网址，失败 0 个，被网址白名单或黑名单排除 1 个。"
                     u"\r\n\r\n请问是否打开它？"_s);
        QCOMPARE(session_->opened().size(), 1);
        QCOMPARE(session_->opened()[0].kind, ShellRequest::Folder);
        QCOMPARE(session_->opened()[0].target, results);
        QCOMPARE(start(window)->text(), kIdle);
        QVERIFY(resultRows(window).isEmpty());
        QVERIFY(!control<QProgressBar>(window, u"进度条1"_s)->isVisible());
        QVERIFY(edit(window, u"编辑框文章目录"_s)->isVisible());

        // The right button searches for "*.htm" as a file-name mask: no b.html. Without the
        // history, a's addresses are asked for again.
        control<QCheckBox>(main_, u"选择框使用历史"_s)->setChecked(false);
        captions.clear();
        MessageBox::setNextAnswer(QMessageBox::No);
        watch(captureCaptions);
        press(window, start(window), Qt::RightButton);
        QCOMPARE(captions, QStringList({u"(1:1)a"_s}));
        QCOMPARE(service_->requestCount(), 5);
        QVERIFY(MessageBox::lastText().startsWith(u"处理完成。"_s));
        QCOMPARE(session_->opened().size(), 1);
    }

    void failedAddressesShowWhyAndTheQuestionCountsThem() {
        test::writeFile(pages_ / "a.htm", "http://a.example.test/bad http://a.example.test/ok");
        test::writeFile(pages_ / "b.htm", "http://b.example.test/bad2 http://b.example.test/ok");
        FileConverterWindow* window = open();
        edit(window, u"编辑框文章目录"_s)->setText(folder_);
        QTest::mouseClick(box(window, u"选择框白名单"_s), Qt::LeftButton);
        QString tip;
        watch([&] {
            for (QTreeWidgetItem* item :
                 window->findChildren<QTreeWidget*>().constFirst()->findItems(u"生成错误"_s,
                                                                              Qt::MatchExactly))
                tip = item->toolTip(0);
        });
        MessageBox::setNextAnswer(QMessageBox::No);
        press(window, start(window));
        QVERIFY2(tip.startsWith(u"回复中找不到短网址"_s), qPrintable(tip));
        QVERIFY2(MessageBox::lastText().contains(u"有 2 个网址转换失败"_s),
                 qPrintable(MessageBox::lastText()));
        QVERIFY(MessageBox::lastText().contains(u"转换 2 个网址，失败 2 个"_s));
        QVERIFY(MessageBox::lastText().endsWith(u"请问是否打开它？"_s));

        // The run's rows are gone with its files; every failure stays, with its file and
        // why, and shows in the list's place.
        auto* failures = control<QTreeWidget>(window, u"列表框失败"_s);
        QVERIFY(control<QCheckBox>(window, u"选择框只看失败"_s)->isChecked());
        QVERIFY(failures->isVisible());
        QVERIFY(!control<QTreeWidget>(window, u"列表框"_s)->isVisible());
        const QList<test::Row> rows = test::rowsOf(failures);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].longUrl, u"http://a.example.test/bad"_s);
        QCOMPARE(rows[1].longUrl, u"http://b.example.test/bad2"_s);
        QVERIFY2(rows[0].text.startsWith(u"回复中找不到短网址"_s), qPrintable(rows[0].text));
        QVERIFY(failures->topLevelItem(1)->toolTip(0).startsWith(u"文件：b.htm\n"_s));

        // The next run starts from its own rows again.
        test::writeFile(pages_ / "a.htm", "nothing here");
        test::writeFile(pages_ / "b.htm", "nothing here");
        MessageBox::setNextAnswer(QMessageBox::No);
        press(window, start(window));
        QCOMPARE(failures->topLevelItemCount(), 0);
        QVERIFY(!control<QCheckBox>(window, u"选择框只看失败"_s)->isChecked());
        QVERIFY(MessageBox::lastText().contains(u"这些文件中没有找到网址。"_s));
    }

    // The default white list takes only one host: a run over other addresses
    // says so instead of a bare "finished".
    void aRunWhoseListsLeaveEveryAddressOutSaysSo() {
        // Each file counts an address once, however often it holds it.
        test::writeFile(pages_ / "a.htm",
                        "http://a.example.test/1 http://a.example.test/2 http://a.example.test/1");
        test::writeFile(pages_ / "b.htm", "http://a.example.test/1");
        FileConverterWindow* window = open();
        edit(window, u"编辑框文章目录"_s)->setText(folder_);
        MessageBox::setNextAnswer(QMessageBox::No);
        press(window, start(window));
        const QString text = MessageBox::lastText();
        QVERIFY2(text.contains(u"写入 2 个文件（其中 2 个没有网址被替换，与原文件相同）。\r\n"
                               u"转换 0 个网址，失败 0 个，被网址白名单或黑名单排除 3 个。"_s),
                 qPrintable(text));
        QVERIFY(text.contains(u"找到的网址全部被网址白名单或黑名单排除，没有网址被转换。"_s));
        QCOMPARE(service_->requestCount(), 0);
    }

    void aSecondPressStopsAfterTheCurrentAddress() {
        const std::string page = "http://s.test/1 http://s.test/2 http://s.test/3 http://s.test/1";
        test::writeFile(pages_ / "p.htm", page);
        FileConverterWindow* window = open();
        edit(window, u"编辑框文章目录"_s)->setText(folder_);
        QTest::mouseClick(box(window, u"选择框白名单"_s), Qt::LeftButton);
        QString captionAfterPress;
        QList<test::Row> rowsAtPress;
        watch([&] {
            const QList<test::Row> rows = resultRows(window);
            if (!captionAfterPress.isEmpty() || rows.size() != 3 || rows[0].state != 0) return;
            rowsAtPress = rows;
            QTest::mouseClick(start(window), Qt::LeftButton);
            captionAfterPress = start(window)->text();
        });
        MessageBox::setNextAnswer(QMessageBox::No);
        press(window, start(window));

        QCOMPARE(captionAfterPress, u"正在停止中.."_s);
        QCOMPARE(rowsAtPress[1], (test::Row{u"队列中.."_s, u"http://s.test/2"_s, 2}));
        QCOMPARE(service_->requestCount(), 1);
        QCOMPARE(output(u"p.htm"_s), std::string("https://s.example.test/r1 http://s.test/2 "
                                                 "http://s.test/3 https://s.example.test/r1"));
        QVERIFY(MessageBox::lastText().startsWith(u"处理完成。"_s));
        QCOMPARE(start(window)->text(), kIdle);

        // Nothing to convert: a message, and no result folder.
        edit(window, u"编辑框过滤"_s)->setText(u"*.xyz"_s);
        const fs::path results((folder_ + u"/处理结果"_s).toStdString());
        fs::remove_all(results);
        MessageBox::setNextAnswer(QMessageBox::Ok);
        QTest::mouseClick(start(window), Qt::LeftButton);
        QCOMPARE(MessageBox::lastText(),
                 u"在这个目录下‘"_s + folder_ + u"’找不到‘*.xyz’类型的文件！"_s);
        QVERIFY(!fs::exists(results));
        QCOMPARE(start(window)->text(), kIdle);
    }

    void closingDuringARunStopsItAndClosesOnceItEnds() {
        test::writeFile(pages_ / "p.htm", "http://s.test/1 http://s.test/2");
        QPointer<FileConverterWindow> window = open();
        edit(window, u"编辑框文章目录"_s)->setText(folder_);
        QTest::mouseClick(box(window, u"选择框白名单"_s), Qt::LeftButton);
        bool closedDuringRun = true;
        QString captionAfterClose;
        watch([&] {
            if (!captionAfterClose.isEmpty() || resultRows(window).value(0).state != 0) return;
            closedDuringRun = window->close();
            captionAfterClose = start(window)->text();
        });
        MessageBox::setNextAnswer(QMessageBox::No);
        press(window, start(window));
        QTest::qWait(0);

        QVERIFY(!closedDuringRun);
        QCOMPARE(captionAfterClose, u"正在停止中.."_s);
        QCOMPARE(service_->requestCount(), 1);
        QCOMPARE(output(u"p.htm"_s), std::string("https://s.example.test/r1 http://s.test/2"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(window.isNull());
        QVERIFY(test::readFile(session_->sandbox().file()).find(fromQt(u"[文件短网址转换器]"_s)) !=
                std::string::npos);
    }

    void helpOpensTheInformationBoxWithoutOwner() {
        FileConverterWindow* window = open();
        QString title, text;
        QWidget* owner = window;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<InputBoxWindow*>(QApplication::activeModalWidget());
            if (!box) return;
            title = box->windowTitle();
            owner = box->parentWidget();
            text = control<QPlainTextEdit>(box, u"编辑框正文"_s)->toPlainText();
            box->reject();
        });
        QTest::mouseClick(button(window, u"按钮使用说明"_s), Qt::LeftButton);

        QCOMPARE(title, u"信息："_s);
        QCOMPARE(owner, nullptr);
        QVERIFY(text.startsWith(u"使用本工具，"_s));
        QVERIFY(text.contains(u"就需要输入“"_s + toQt(defaultFileConverterSettings().whiteList) +
                              u"”这样的规则"_s));
        QVERIFY(text.contains(u"通配符就是 * 代表任意个任意字符"_s));
        // The two gestures of the right button are told, as in the buttons' tooltips.
        QVERIFY(text.contains(u"右击“开始转换”按钮：按操作系统的文件搜索列出文件"_s));
        QVERIFY(text.contains(u"右击打开保存目录"_s));
        QVERIFY(start(window)->toolTip().contains(u"右击：按操作系统的文件搜索列出文件"_s));
        QVERIFY(control<QPushButton>(main_, u"按钮保存目录"_s)
                    ->toolTip()
                    .contains(u"右击打开保存目录"_s));
    }

    void modeChoiceExpandsOnlyShortAddressesAndMigrationNeedsItsHosts() {
        test::TestServer old;
        old.route("/s1", [](test::Exchange& e) {
            e.answer(301, "", {"Location: http://long.example.test/1"});
        });
        const QString shortUrl = QString::fromStdString(old.url("/s1"));
        test::writeFile(pages_ / "a.htm", fromQt(shortUrl + u" http://a.example.test/2"_s));
        FileConverterWindow* window = open();
        edit(window, u"编辑框文章目录"_s)->setText(folder_);
        QTest::mouseClick(box(window, u"选择框白名单"_s), Qt::LeftButton);
        QComboBox* modes = mode(window, u"组合框模式"_s);
        QCOMPARE(modes->currentIndex(), 0);
        QVERIFY(!edit(window, u"编辑框短网址主机"_s)->isEnabled());

        // Migrating without the hosts to move is refused before anything runs.
        modes->setCurrentIndex(2);
        QVERIFY(edit(window, u"编辑框短网址主机"_s)->isEnabled());
        MessageBox::setNextAnswer(QMessageBox::Ok);
        QTest::mouseClick(start(window), Qt::LeftButton);
        QVERIFY(!window->running());
        QCOMPARE(MessageBox::lastText(), u"迁移短网址须填写要迁出的短网址主机"_s);

        // Expanding: the given host's address is followed, the long address is left alone
        // and nothing is shortened.
        modes->setCurrentIndex(1);
        edit(window, u"编辑框短网址主机"_s)
            ->setText(QString::fromStdString("127.0.0.1:" + std::to_string(old.port())));
        control<QCheckBox>(main_, u"选择框使用历史"_s)->setChecked(false);
        MessageBox::setNextAnswer(QMessageBox::No);
        bool lockedDuringRun = true;
        watch([&] { lockedDuringRun &= !modes->isEnabled(); });
        press(window, start(window));
        QVERIFY(lockedDuringRun);
        QVERIFY(modes->isEnabled());
        QCOMPARE(output(u"a.htm"_s),
                 std::string("http://long.example.test/1 http://a.example.test/2"));
        QCOMPARE(service_->requestCount(), 0);
    }

private:
    // Opens the window through the banner's link.
    FileConverterWindow* open() {
        QTest::mousePress(control<LinkLabel>(main_, u"超级链接框文件短网址转换器"_s),
                          Qt::LeftButton);
        auto* window = main_->findChild<FileConverterWindow*>();
        if (!window || !QTest::qWaitForWindowExposed(window)) qFatal("the window did not open");
        return window;
    }

    // The step the next run() takes between two passes of the event loop.
    void watch(std::function<void()> step) { step_ = std::move(step); }

    // Presses `button` of `window` with `mouse`, then runs the event loop pass by pass,
    // with the watched step after each, until the run has ended (the window may close).
    void press(QPointer<FileConverterWindow> window, QWidget* button,
               Qt::MouseButton mouse = Qt::LeftButton) {
        if (mouse == Qt::RightButton)
            QTest::mousePress(button, mouse);
        else
            QTest::mouseClick(button, mouse);
        QElapsedTimer running;
        running.start();
        while (window && window->running() && running.elapsed() < 20000) {
            if (step_) step_();
            QCoreApplication::processEvents();
        }
        step_ = {};
        QVERIFY(!window || !window->running());
    }

    std::function<void()> step_;

    std::string output(const QString& name) const {
        return test::readFile(fs::path((folder_ + u"/处理结果/"_s + name).toStdString()));
    }

    static QLineEdit* edit(const QWidget* window, const QString& name) {
        return control<QLineEdit>(window, name);
    }
    static QCheckBox* box(const QWidget* window, const QString& name) {
        return control<QCheckBox>(window, name);
    }
    static QComboBox* mode(const QWidget* window, const QString& name) {
        return control<QComboBox>(window, name);
    }
    static QPushButton* button(const QWidget* window, const QString& name) {
        return control<QPushButton>(window, name);
    }
    static QPushButton* start(const QWidget* window) { return button(window, u"按钮开始转换"_s); }

    std::unique_ptr<test::ServedSession> session_;
    test::FakeShortService* service_ = nullptr;
    MainWindow* main_ = nullptr;
    fs::path pages_;
    QString folder_;
};

QTEST_MAIN(FileConverterWindowTest)
#include "fileconverterwindow_test.moc"

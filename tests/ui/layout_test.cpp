// The windows on a 1400 x 900 screen at twice the scale (700 x 450 pixels of
// layout): each opens inside the screen's free area, shrinks to its minimum
// with its main controls still whole, and the main window's place and columns
// come back in the next run, written only when they changed.

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QScreen>
#include <QTest>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "history/conversionhistory.h"
#include "ui/fileconverterwindow.h"
#include "ui/historywindow.h"
#include "ui/infobox.h"
#include "ui/interfaceadvanced.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "uitestkit.h"

using namespace Qt::Literals::StringLiterals;
using namespace lianshuo;
using test::control;

namespace {

QRect freeArea() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

// Each control called in `names` lies whole inside `window`, no smaller than `least`.
bool controlsInside(const QWidget* window, const QStringList& names, QSize least = {16, 16}) {
    for (const QString& name : names) {
        const QWidget* c = control<QWidget>(window, name);
        const QRect place(c->mapTo(window, QPoint(0, 0)), c->size());
        if (!window->rect().contains(place) || c->width() < least.width() ||
            c->height() < least.height()) {
            qWarning("%s at %d,%d %dx%d in %dx%d", qPrintable(name), place.x(), place.y(),
                     place.width(), place.height(), window->width(), window->height());
            return false;
        }
    }
    return true;
}

// Two shown controls of `window` (its own children) that cover each other, if any, but for
// `overlays`, which cover others on purpose: rows added by different changes must not land
// on one place.
QStringList overlapping(const QWidget* window, const QStringList& overlays) {
    QList<QWidget*> shown;
    for (QWidget* c : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (c->isVisible() && !c->isWindow() && !overlays.contains(c->objectName()))
            shown.append(c);
    QStringList found;
    for (qsizetype i = 0; i < shown.size(); ++i)
        for (qsizetype k = i + 1; k < shown.size(); ++k)
            if (shown[i]->geometry().intersects(shown[k]->geometry()))
                found << shown[i]->objectName() + u" / "_s + shown[k]->objectName();
    return found;
}

}  // namespace

class LayoutTest : public QObject {
    Q_OBJECT

private slots:
    void init() { session_ = std::make_unique<test::WindowSession>(); }
    void cleanup() { session_.reset(); }

    void everyWindowOpensOnTheScreenAndShrinksWithItsControlsWhole() {
        QCOMPARE(freeArea().size(), QSize(700, 450));
        MainWindow& main = session_->window();
        showFileConverterWindow(main);
        auto* converter = main.findChild<FileConverterWindow*>();
        showHistoryWindow(&main, main.historyPath());
        auto* history = main.findChild<HistoryWindow*>();
        InterfaceAdvancedDialog advanced(ShortUrlInterface{}, &main);
        advanced.show();
        InputBoxWindow box(&main);
        box.showText(introductionText(), u"疑点说明"_s);
        box.show();
        QVERIFY(converter && history);
        // As after a run with failures.
        control<QWidget>(converter, u"选择框只看失败"_s)->show();

        struct Case {
            QWidget* window;
            QStringList controls;
            QStringList overlays = {};
        };
        const QList<Case> cases = {
            {&main,
             {u"列表框转换"_s, u"按钮生成"_s, u"按钮粘贴"_s, u"按钮复制"_s, u"编辑框保存目录"_s,
              u"按钮保存目录"_s, u"组合框短网址"_s, u"列表框"_s, u"超级链接框文件短网址转换器"_s},
             // Baidu's token button lies over the interface buttons it stands for, the
             // folder's button inside its field.
             {u"按钮设置Token"_s, u"按钮保存目录"_s}},
            {converter,
             {u"列表框"_s, u"按钮开始转换"_s, u"按钮使用说明"_s, u"编辑框白名单"_s,
              u"组合框黑名单通配"_s, u"编辑框文章目录"_s, u"编辑框过滤"_s, u"按钮选择"_s,
              u"组合框模式"_s, u"编辑框短网址主机"_s, u"选择框只看失败"_s},
             // The file type sits inside the folder's field.
             {u"标签过滤"_s, u"编辑框过滤"_s}},
            {history, {u"列表框历史"_s, u"编辑框搜索"_s, u"按钮复制"_s, u"按钮导出"_s}},
            // The rest of its keys scroll, as the panel's do.
            {&advanced, {u"编辑框请求头"_s, u"编辑框令牌"_s, u"滚动框高级"_s, u"按钮取消"_s}},
            {&box, {u"编辑框正文"_s, u"按钮取消"_s}},
        };
        for (const Case& c : cases) {
            QVERIFY(QTest::qWaitForWindowExposed(c.window));
            QVERIFY2(
                freeArea().contains(c.window->frameGeometry()),
                qPrintable(c.window->windowTitle() + u" %1x%2, least %3x%4"_s.arg(c.window->width())
                                                         .arg(c.window->height())
                                                         .arg(c.window->minimumWidth())
                                                         .arg(c.window->minimumHeight())));
            QVERIFY(controlsInside(c.window, c.controls));
            const QStringList covering = overlapping(c.window, c.overlays);
            QVERIFY2(covering.isEmpty(), qPrintable(covering.join(u", "_s)));
            // Smaller still, down to a minimum that a small screen holds.
            const QSize least = c.window->minimumSize();
            QVERIFY2(least.width() <= 640 && least.height() <= 420,
                     qPrintable(c.window->windowTitle() +
                                u" %1x%2"_s.arg(least.width()).arg(least.height())));
            c.window->resize(least);
            QCOMPARE(c.window->size(), least);
            QVERIFY2(controlsInside(c.window, c.controls), qPrintable(c.window->windowTitle()));
        }

        // The interface panel is taller than the room left: it scrolls, every field kept.
        main.resize(main.minimumSize());
        control<QComboBox>(&main, u"组合框短网址"_s)->setCurrentIndex(0);
        QTest::mouseClick(control<QWidget>(&main, u"按钮添加"_s), Qt::LeftButton);
        auto* area = control<QWidget>(&main, u"滚动框面板"_s);
        QVERIFY(area->isVisible());
        QVERIFY(main.rect().contains(QRect(area->mapTo(&main, QPoint(0, 0)), area->size())));
        QCOMPARE(control<QWidget>(&main, u"图片框面板"_s)->height(), 432);
    }

    void placeAndColumnsComeBackAndAreWrittenOnlyWhenChanged() {
        session_.reset();
        test::SettingsSandbox sandbox;
        const auto fileText = [&sandbox] { return test::readFile(sandbox.file()); };
        // Each window as a new run of the program opens it.
        const auto open = [&sandbox] {
            sandbox.rebind();
            auto window = std::make_unique<MainWindow>();
            window->show();
            if (!QTest::qWaitForWindowExposed(window.get())) qFatal("no window");
            QApplication::processEvents();
            return window;
        };
        open()->close();
        QVERIFY(!toQt(fileText()).contains(u"[窗口位置]"_s));

        // Moved, resized and a column dragged: all three are kept.
        std::unique_ptr<MainWindow> window = open();
        auto* header = control<QTreeWidget>(window.get(), u"列表框转换"_s)->header();
        window->setGeometry(20, 10, 660, 420);
        QApplication::processEvents();
        header->resizeSection(0, 300);
        const int longWidth = header->sectionSize(1);
        window->close();
        const std::string saved = fileText();
        const QStringList lines = toQt(saved).split(u"\r\n"_s);
        for (const QString& line :
             {u"[窗口位置]"_s, u"主窗口=20,10,660,420"_s, u"主窗口列宽=300,%1"_s.arg(longWidth)})
            QVERIFY2(lines.contains(line), qPrintable(lines.join(u'|')));

        window = open();
        QCOMPARE(window->geometry(), QRect(20, 10, 660, 420));
        // The columns fill the list again, in the proportions they were left in.
        header = control<QTreeWidget>(window.get(), u"列表框转换"_s)->header();
        QVERIFY(std::abs(header->sectionSize(0) * longWidth - header->sectionSize(1) * 300) <
                2 * (300 + longWidth));
        window->close();
        QCOMPARE(fileText(), saved);

        // A place off this screen comes back inside it.
        std::string moved = saved;
        const std::string place = fromQt(u"主窗口=20,10,660,420"_s);
        moved.replace(moved.find(place), place.size(), fromQt(u"主窗口=3000,2000,900,900"_s));
        test::writeFile(sandbox.file(), moved);
        window = open();
        QVERIFY(freeArea().contains(window->frameGeometry()));
    }

private:
    std::unique_ptr<test::WindowSession> session_;
};

int main(int argc, char** argv) {
    // A 1400 x 900 screen scaled by two, as the offscreen platform reads it from a file.
    const test::TempDir folder;
    const std::filesystem::path screen = folder.path() / "screen.json";
    std::ofstream(screen) << R"({"screens":[{"name":"s","x":0,"y":0,"width":1400,)"
                             R"("height":900,"logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})";
    qputenv("QT_SCALE_FACTOR", "2");
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QByteArray(screen.c_str()));
    QApplication application(argc, argv);
    LayoutTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "layout_test.moc"

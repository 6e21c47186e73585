// The windows' colours: a dark appearance keeps the banner's words and the
// rows' states readable, the light one draws them as they always were, and
// the choice is kept in "外观".

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <cmath>

#include "ui/appearance.h"
#include "ui/fileconverterwindow.h"
#include "ui/icons.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "ui/themecolours.h"
#include "uitestkit.h"

using namespace Qt::Literals::StringLiterals;
using namespace lianshuo;
using test::control;

namespace {

// Relative luminance and contrast, as legibility guidelines define them.
double luminance(const QColor& colour) {
    const auto linear = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a) + 0.05, lb = luminance(b) + 0.05;
    return la > lb ? la / lb : lb / la;
}

// The pixel of `area` that stands out most from `ground`: the ink of the words drawn there.
QColor inkIn(const QImage& image, const QRect& area, const QColor& ground) {
    QColor ink = ground;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (contrast(image.pixelColor(x, y), ground) > contrast(ink, ground))
                ink = image.pixelColor(x, y);
    return ink;
}

// A point inside each state icon's disc that no mark crosses.
constexpr QPoint kDiscPoint(3, 12);

const ResultRowState kStates[] = {ResultRowState::Done, ResultRowState::Error,
                                  ResultRowState::Waiting, ResultRowState::Converting};

void writeBasicSettings(const test::SettingsSandbox& sandbox, const QString& lines) {
    test::writeFile(sandbox.file(), fromQt(u"[基本配置]\r\n"_s + lines));
    const_cast<test::SettingsSandbox&>(sandbox).rebind();
}

void choose(MainWindow& window, const QString& caption) {
    for (QAction* action : control<QMenu>(&window, u"外观"_s)->actions())
        if (action->text() == caption) action->trigger();
    // Open windows take the application's new palette from posted events.
    QApplication::processEvents();
}

QString basicSection(const std::filesystem::path& file) {
    return toQt(test::readFile(file));
}

}  // namespace

class AppearanceTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { applyAppearance(Appearance::System); }

    void darkAppearanceKeepsTheBannerAndTheRowsReadable() {
        test::SettingsSandbox sandbox;
        writeBasicSettings(sandbox, u"外观=2\r\n"_s);
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QPalette palette = QApplication::palette();
        QVERIFY(palette.color(QPalette::Window).lightness() < 128);

        const QImage banner = control<QWidget>(&window, u"图片框1"_s)->grab().toImage();
        // Between the history box and the logo nothing is drawn but the ground.
        const QColor ground = banner.pixelColor(372, 80);
        QVERIFY(luminance(ground) < 0.1);
        for (const QRect& link : {QRect(16, 64, 64, 24), QRect(632, 64, 128, 24)})
            QVERIFY2(contrast(inkIn(banner, link, ground), ground) >= 4.5, "a link");
        QVERIFY2(contrast(inkIn(banner, QRect(454, 16, 133, 30), ground), ground) >= 4.5,
                 "the logo's name");

        const QColor base = palette.color(QPalette::Base);
        for (const ResultRowState state : kStates) {
            const QImage icon = rowStateIcon(state).pixmap(24, 24).toImage();
            const QColor disc = icon.pixelColor(kDiscPoint);
            QVERIFY(contrast(disc, base) >= 3);
            QVERIFY(contrast(inkIn(icon, QRect(6, 6, 12, 12), disc), disc) >= 3);
        }
    }

    void lightAppearanceDrawsTheColoursAsBefore() {
        test::SettingsSandbox sandbox;
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QPalette palette = QApplication::palette();
        const QImage banner = control<QWidget>(&window, u"图片框1"_s)->grab().toImage();
        const QColor top(0xfb, 0xfd, 0xff), bottom(0xe4, 0xee, 0xfb);
        QVERIFY(contrast(banner.pixelColor(372, 0), top) < 1.02);
        QVERIFY(contrast(banner.pixelColor(372, 87), bottom) < 1.02);
        QCOMPARE(linkColour(palette), QColor(0x1a, 0x4f, 0xc4));
        QCOMPARE(logoNameColour(palette), QColor(0x1f, 0x4e, 0xa8));
        QCOMPARE(logoLineColour(palette), QColor(0x6b, 0x7b, 0x93));
        const QColor discs[] = {QColor(0x2e, 0x9d, 0x4f), QColor(0xd6, 0x45, 0x41),
                                QColor(0x9a, 0xa5, 0xb1), QColor(0x2f, 0x80, 0xed)};
        for (const ResultRowState state : kStates)
            QCOMPARE(rowStateIcon(state).pixmap(24, 24).toImage().pixelColor(kDiscPoint),
                     discs[static_cast<int>(state)]);
    }

    void theChoiceAppliesAtOnceAndIsKept() {
        test::SettingsSandbox sandbox;
        {
            MainWindow window;
            FileConverterWindow converter(window);
            converter.show();
            choose(window, u"深色"_s);
            QVERIFY(isDarkPalette(converter.palette()));
            QVERIFY(isDarkPalette(window.palette()));
            window.close();
        }
        QVERIFY(basicSection(sandbox.file()).contains(u"\r\n外观=2\r\n"_s));
        sandbox.rebind();
        {
            MainWindow window;
            QCOMPARE(currentAppearance(), Appearance::Dark);
            choose(window, u"跟随系统"_s);
            QVERIFY(!isDarkPalette(window.palette()));
            window.close();
        }
        QVERIFY(!basicSection(sandbox.file()).contains(u"外观"_s));

        for (const QString& bad : {u"外观=3\r\n"_s, u"外观=1.5\r\n"_s, u"外观=深\r\n"_s}) {
            applyAppearance(Appearance::Light);
            writeBasicSettings(sandbox, bad);
            MainWindow window;
            QCOMPARE(currentAppearance(), Appearance::System);
        }
    }
};

QTEST_MAIN(AppearanceTest)
#include "appearance_test.moc"

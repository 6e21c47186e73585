// The reference of the start-up benchmark: a minimal Qt Widgets program that
// shows one window of the main window's size with one line of Chinese text
// (so that, like the program, it loads a CJK font) and quits once it is
// shown, as the program does with LIANSHUO_QUIT_WHEN_SHOWN (no exit clean-up for either).

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <cstdlib>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.resize(770, 565);
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setPixelSize(15);
    window.setFont(font);
    QLabel label(QStringLiteral(u"蓝棠·链梭"), &window);
    label.move(16, 16);
    window.show();
    QTimer::singleShot(0, &application, [] { std::_Exit(0); });
    return QApplication::exec();
}

// Writes the program's icon as PNG files into an icon theme's folders, one per
// size: ROOT/SIZExSIZE/apps/NAME.png. Run at build time; needs no display.
// Usage: lianshuo_render_icon ROOT NAME SIZE...

#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>
#include <cstdlib>

#include "ui/icons.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s ROOT NAME SIZE...\n", argv[0]);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size <= 0) {
            std::fprintf(stderr, "not a size: %s\n", argv[i]);
            return 2;
        }
        const QString folder = root + QStringLiteral("/%1x%1/apps").arg(size);
        const QString file = folder + QStringLiteral("/") + name + QStringLiteral(".png");
        if (!QDir().mkpath(folder) || !lianshuo::programIcon(size).save(file, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}

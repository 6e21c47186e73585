#include "ui/qtext.h"

#include <QFontDatabase>

#include <QSet>
#include <QStringList>

#include "base/charset.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

QString toQt(std::string_view gbk) {
    return QString::fromStdString(toUtf8(gbk));
}

std::string fromQt(const QString& text) {
    return fromUtf8(text.toStdString());
}

QString withWidgetBreaks(QString text) {
    return text.replace(u"\r\n"_s, u"\n"_s);
}

namespace {

// The families of `wanted` that are installed (all of them when none is). Asking for a
// family that is missing sends every font of that family through the system's fallback
// search, which is what made the window slow to open on machines without the Windows fonts.
// The installed families are listed once: asking for each by name makes the system resolve
// it as an alias first, which costs more than the list.
QStringList installed(const QStringList& wanted) {
    static const QSet<QString> families = [] {
        QSet<QString> folded;
        for (const QString& family : QFontDatabase::families())
            folded.insert(family.toCaseFolded());
        return folded;
    }();
    QStringList found;
    for (const QString& family : wanted)
        if (families.contains(family.toCaseFolded())) found << family;
    return found.isEmpty() ? wanted : found;
}

}  // namespace

QFont uiFont(FontFace face, int pixelSize, bool bold) {
    // Machines without the Windows fonts fall back to one that has the Chinese glyphs.
    static const QStringList song =
        installed({u"SimSun"_s, u"WenQuanYi Micro Hei"_s, u"Noto Sans CJK SC"_s});
    static const QStringList hei =
        installed({u"SimHei"_s, u"WenQuanYi Micro Hei"_s, u"Noto Sans CJK SC"_s});
    QFont font;
    font.setFamilies(face == FontFace::Song ? song : hei);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

}  // namespace lianshuo

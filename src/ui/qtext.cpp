#include "ui/qtext.h"

#include <QStringList>

#include "app/base/charset.h"

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

QFont uiFont(FontFace face, int pixelSize, bool bold) {
    QFont font;
    // Machines without the Windows fonts fall back to one that has the Chinese glyphs.
    font.setFamilies({face == FontFace::Song ? u"SimSun"_s : u"SimHei"_s, u"WenQuanYi Micro Hei"_s,
                      u"Noto Sans CJK SC"_s});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

}  // namespace lianshuo

#pragma once
// The edge between the program's GBK texts and Qt's UTF-16 strings, and the
// fonts the windows are drawn with.

#include <QFont>
#include <QString>
#include <string>
#include <string_view>

namespace lianshuo {

/// A GBK text as a Qt string.
QString toQt(std::string_view gbk);

/// A Qt string as GBK text (GB18030, so no character is lost).
std::string fromQt(const QString& text);

/// `text` with every CR LF as one line feed, the line break Qt's text widgets use.
QString withWidgetBreaks(QString text);

enum class FontFace { Song, Hei };

/// 宋体 or 黑体 at a pixel height, with the system's CJK font as the fallback.
QFont uiFont(FontFace face, int pixelSize, bool bold = false);

}  // namespace lianshuo

#include "ui/icons.h"

#include <QApplication>
#include <QIconEngine>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleOption>
#include <array>

#include "ui/qtext.h"
#include "ui/themecolours.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kRowIconSize = 24;

QPixmap transparentPixmap(int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QPen markPen(const QColor& colour, qreal width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void drawRowIcon(QPainter& p, ResultRowState state, const QColor& disc, const QColor& mark) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(disc);
    p.drawEllipse(QRectF(1.5, 1.5, 21, 21));
    p.setBrush(Qt::NoBrush);
    switch (state) {
        case ResultRowState::Done:
            p.setPen(markPen(mark, 2.6));
            p.drawPolyline(QPolygonF({QPointF(7, 12.5), QPointF(10.5, 16), QPointF(17, 8.5)}));
            break;
        case ResultRowState::Error:
            p.setPen(markPen(mark, 2.6));
            p.drawLine(QPointF(8, 8), QPointF(16, 16));
            p.drawLine(QPointF(16, 8), QPointF(8, 16));
            break;
        case ResultRowState::Waiting:
            p.setPen(markPen(mark, 2));
            p.drawEllipse(QRectF(6, 6, 12, 12));
            p.drawPolyline(QPolygonF({QPointF(12, 8.5), QPointF(12, 12), QPointF(14.5, 13.5)}));
            break;
        case ResultRowState::Converting: {
            p.setPen(markPen(mark, 2.2));
            const QRectF ring(6.5, 6.5, 11, 11);
            p.drawArc(ring, 30 * 16, 120 * 16);
            p.drawArc(ring, 210 * 16, 120 * 16);
            p.setPen(Qt::NoPen);
            p.setBrush(mark);
            p.drawPolygon(QPolygonF({QPointF(15, 4.5), QPointF(19.5, 8.5), QPointF(14, 10)}));
            p.drawPolygon(QPolygonF({QPointF(9, 19.5), QPointF(4.5, 15.5), QPointF(10, 14)}));
            break;
        }
    }
}

// A row's icon drawn when shown, in the colours of the application's palette
// then: one icon object per state still follows a change of appearance.
class RowStateIconEngine : public QIconEngine {
public:
    explicit RowStateIconEngine(ResultRowState state) : state_(state) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        const QPalette palette = QApplication::palette();
        painter->save();
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / qreal(kRowIconSize), rect.height() / qreal(kRowIconSize));
        drawRowIcon(*painter, state_, rowStateColour(state_, palette),
                    rowMarkColour(state_, palette));
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        const QSize pixels = size * scale;
        const QPalette palette = QApplication::palette();
        const QColor disc = rowStateColour(state_, palette);
        const QColor mark = rowMarkColour(state_, palette);
        const QString key = u"lianshuo-row-%1-%2x%3-%4-%5-%6"_s.arg(static_cast<int>(state_))
                                .arg(pixels.width())
                                .arg(pixels.height())
                                .arg(disc.rgba())
                                .arg(mark.rgba())
                                .arg(static_cast<int>(mode));
        QPixmap pixmap;
        if (QPixmapCache::find(key, &pixmap)) return pixmap;
        pixmap = transparentPixmap(pixels.width(), pixels.height());
        {
            QPainter p(&pixmap);
            paint(&p, QRect(QPoint(0, 0), pixels), mode, state);
        }
        if (mode == QIcon::Disabled) {
            const QStyleOption option;
            pixmap = QApplication::style()->generatedIconPixmap(mode, pixmap, &option);
        }
        pixmap.setDevicePixelRatio(scale);
        QPixmapCache::insert(key, pixmap);
        return pixmap;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        return size.boundedTo(QSize(kRowIconSize, kRowIconSize));
    }

    QIconEngine* clone() const override { return new RowStateIconEngine(state_); }

private:
    ResultRowState state_;
};

// A rounded tile with a soft vertical gradient, the ground of each banner button.
void drawTile(QPainter& p, const QColor& colour) {
    QLinearGradient gradient(0, 4, 0, 60);
    gradient.setColorAt(0, colour.lighter(135));
    gradient.setColorAt(1, colour);
    p.setPen(QPen(colour.darker(120), 1));
    p.setBrush(gradient);
    p.drawRoundedRect(QRectF(6.5, 6.5, 51, 51), 10, 10);
}

void drawQuestions(QPainter& p) {
    drawTile(p, QColor(0x2f, 0x80, 0xed));
    p.setPen(Qt::white);
    p.setFont(uiFont(FontFace::Hei, 38, true));
    p.drawText(QRectF(6, 6, 52, 52), Qt::AlignCenter, u"?"_s);
}

void drawHomePage(QPainter& p) {
    drawTile(p, QColor(0x2e, 0x9d, 0x4f));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({QPointF(32, 15), QPointF(49, 31), QPointF(15, 31)}));
    p.drawRect(QRectF(20, 30, 24, 17));
    p.setBrush(QColor(0x2e, 0x9d, 0x4f));
    p.drawRect(QRectF(28.5, 36, 7, 11));
}

void drawFileConverter(QPainter& p) {
    drawTile(p, QColor(0xe6, 0x7e, 0x22));
    QPainterPath page;
    page.moveTo(19, 13);
    page.lineTo(38, 13);
    page.lineTo(46, 21);
    page.lineTo(46, 51);
    page.lineTo(19, 51);
    page.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.setBrush(QColor(0xf5, 0xc2, 0x8f));
    p.drawPolygon(QPolygonF({QPointF(38, 13), QPointF(46, 21), QPointF(38, 21)}));
    // Two lines of text and a short one: a long address becoming a short one.
    p.setPen(QPen(QColor(0xe6, 0x7e, 0x22), 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(24, 28), QPointF(41, 28));
    p.drawLine(QPointF(24, 35), QPointF(41, 35));
    p.drawLine(QPointF(24, 43), QPointF(32, 43));
    p.drawLine(QPointF(35, 40), QPointF(38, 43));
    p.drawLine(QPointF(35, 46), QPointF(38, 43));
}

void drawHistory(QPainter& p) {
    const QColor ground(0x7b, 0x5c, 0xc9);
    drawTile(p, ground);
    // A clock face with its hands: what was made before.
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(32, 32), 17, 17);
    p.setPen(QPen(ground, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(32, 32), QPointF(32, 21));
    p.drawLine(QPointF(32, 32), QPointF(40, 37));
    p.setPen(Qt::NoPen);
    p.setBrush(ground);
    p.drawEllipse(QPointF(32, 32), 2.5, 2.5);
}

void drawBlossom(QPainter& p, QPointF centre, qreal radius) {
    const QColor petal(0x3b, 0x6f, 0xd8);
    p.setPen(QPen(petal.darker(125), 1));
    for (int i = 0; i < 5; ++i) {
        p.save();
        p.translate(centre);
        p.rotate(72.0 * i);
        QLinearGradient gradient(0, 0, 0, -radius);
        gradient.setColorAt(0, petal.lighter(150));
        gradient.setColorAt(1, petal);
        p.setBrush(gradient);
        p.drawEllipse(QRectF(-radius * 0.42, -radius * 1.02, radius * 0.84, radius * 0.95));
        p.restore();
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf2, 0xc9, 0x4c));
    p.drawEllipse(centre, radius * 0.22, radius * 0.22);
}

void drawLogo(QPainter& p, const QPalette& palette) {
    drawBlossom(p, QPointF(32, 32), 25);
    p.setPen(logoNameColour(palette));
    p.setFont(uiFont(FontFace::Hei, 30, true));
    p.drawText(QRectF(62, 4, 133, 38), Qt::AlignLeft | Qt::AlignVCenter, u"蓝棠软件"_s);
    p.setPen(logoLineColour(palette));
    QFont small = uiFont(FontFace::Song, 11);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    p.setFont(small);
    p.drawText(QRectF(63, 42, 132, 16), Qt::AlignLeft | Qt::AlignVCenter, u"LANTANG SOFTWARE"_s);
}

}  // namespace

QIcon rowStateIcon(ResultRowState state) {
    static const std::array<QIcon, 4> icons = {
        QIcon(new RowStateIconEngine(ResultRowState::Done)),
        QIcon(new RowStateIconEngine(ResultRowState::Error)),
        QIcon(new RowStateIconEngine(ResultRowState::Waiting)),
        QIcon(new RowStateIconEngine(ResultRowState::Converting))};
    return icons[static_cast<std::size_t>(state)];
}

QPixmap bannerImage(BannerImage image, const QPalette& palette) {
    const bool logo = image == BannerImage::Logo;
    QPixmap pixmap = transparentPixmap(logo ? 195 : 64, 64);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    switch (image) {
        case BannerImage::Logo:
            drawLogo(p, palette);
            break;
        case BannerImage::Questions:
            drawQuestions(p);
            break;
        case BannerImage::HomePage:
            drawHomePage(p);
            break;
        case BannerImage::FileConverter:
            drawFileConverter(p);
            break;
        case BannerImage::History:
            drawHistory(p);
            break;
    }
    return pixmap;
}

QImage programIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    // The top petal reaches further than the lower two: lower the centre to balance them.
    drawBlossom(p, QPointF(32, 33.8), 29);
    return image;
}

}  // namespace lianshuo

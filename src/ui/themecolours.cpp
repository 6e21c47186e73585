#include "ui/themecolours.h"

#include <array>
#include <cmath>

#include "ui/appearance.h"

namespace lianshuo {
namespace {

double channel(double value) {
    value /= 255.0;
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.red()) + 0.7152 * channel(rgb.green()) +
           0.0722 * channel(rgb.blue());
}

QColor mix(const QColor& from, const QColor& to, double share) {
    const auto blend = [share](int a, int b) {
        return static_cast<int>(std::lround(a + (b - a) * share));
    };
    return QColor(blend(from.red(), to.red()), blend(from.green(), to.green()),
                  blend(from.blue(), to.blue()));
}

// `colour`, moved towards white on a dark ground or black on a light one by
// the least step that makes it stand `ratio` out from `ground`.
QColor readableOn(const QColor& colour, const QColor& ground, double ratio) {
    const QColor far = luminance(ground) < 0.18 ? QColor(Qt::white) : QColor(Qt::black);
    for (int step = 0; step <= 20; ++step) {
        const QColor tried = mix(colour, far, step / 20.0);
        if (contrastRatio(tried, ground) >= ratio) return tried;
    }
    return far;
}

QColor bannerBottom(const QPalette& palette) {
    return mix(palette.color(QPalette::Window), palette.color(QPalette::Highlight), 0.22);
}

// Text reads at 4.5:1, a disc beside text at 3:1.
constexpr double kTextContrast = 4.5;
constexpr double kShapeContrast = 3.0;

// The light colours, as the program has always drawn them.
const std::array<QColor, 4>& lightRowColours() {
    static const std::array<QColor, 4> colours = {
        QColor(0x2e, 0x9d, 0x4f), QColor(0xd6, 0x45, 0x41), QColor(0x9a, 0xa5, 0xb1),
        QColor(0x2f, 0x80, 0xed)};
    return colours;
}

}  // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double first = luminance(a) + 0.05;
    const double second = luminance(b) + 0.05;
    return first > second ? first / second : second / first;
}

QLinearGradient bannerGround(const QPalette& palette, int height) {
    QLinearGradient ground(0, 0, 0, height);
    if (!isDarkPalette(palette)) {
        ground.setColorAt(0, QColor(0xfb, 0xfd, 0xff));
        ground.setColorAt(1, QColor(0xe4, 0xee, 0xfb));
        return ground;
    }
    ground.setColorAt(
        0, mix(palette.color(QPalette::Window), palette.color(QPalette::Highlight), 0.06));
    ground.setColorAt(1, bannerBottom(palette));
    return ground;
}

QColor linkColour(const QPalette& palette) {
    if (!isDarkPalette(palette)) return QColor(0x1a, 0x4f, 0xc4);
    return readableOn(palette.color(QPalette::Link), bannerBottom(palette), kTextContrast);
}

QColor logoNameColour(const QPalette& palette) {
    if (!isDarkPalette(palette)) return QColor(0x1f, 0x4e, 0xa8);
    return readableOn(palette.color(QPalette::Highlight), bannerBottom(palette), kTextContrast);
}

QColor logoLineColour(const QPalette& palette) {
    if (!isDarkPalette(palette)) return QColor(0x6b, 0x7b, 0x93);
    const QColor faded =
        mix(palette.color(QPalette::WindowText), palette.color(QPalette::Window), 0.3);
    return readableOn(faded, bannerBottom(palette), kTextContrast);
}

QColor rowStateColour(ResultRowState state, const QPalette& palette) {
    const QColor light = lightRowColours()[static_cast<std::size_t>(state)];
    if (!isDarkPalette(palette)) return light;
    return readableOn(light, palette.color(QPalette::Base), kShapeContrast);
}

QColor rowMarkColour(ResultRowState state, const QPalette& palette) {
    if (!isDarkPalette(palette)) return QColor(Qt::white);
    // A disc made lighter to stand out from a dark list takes the list's own colour for its mark.
    const QColor disc = rowStateColour(state, palette);
    const QColor ground = palette.color(QPalette::Base);
    return contrastRatio(Qt::white, disc) >= contrastRatio(ground, disc) ? QColor(Qt::white)
                                                                         : ground;
}

}  // namespace lianshuo

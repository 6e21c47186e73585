#pragma once
// The colours the windows draw themselves, taken from the palette they are
// drawn with: on a light palette the program's own colours as they always
// were, on a dark one colours made from the palette that read on it.

#include <QColor>
#include <QLinearGradient>
#include <QPalette>

#include "jobs/resultrow.h"

namespace lianshuo {

/// How much lighter the lighter of two colours is (1 to 21), as legibility guidelines count it.
double contrastRatio(const QColor& a, const QColor& b);

/// The banner's ground, top to bottom over `height` pixels.
QLinearGradient bannerGround(const QPalette& palette, int height);

/// The banner's link captions.
QColor linkColour(const QPalette& palette);

/// The logo's name, and the small line under it.
QColor logoNameColour(const QPalette& palette);
QColor logoLineColour(const QPalette& palette);

/// The disc of a results row's state icon, on the list's ground.
QColor rowStateColour(ResultRowState state, const QPalette& palette);

/// The mark drawn on that disc.
QColor rowMarkColour(ResultRowState state, const QPalette& palette);

}  // namespace lianshuo

#pragma once
// The images of the windows, all drawn here: the icons of the results rows
// and the banner's pictures.

#include <QIcon>
#include <QImage>
#include <QPalette>
#include <QPixmap>

#include "jobs/resultrow.h"

namespace lianshuo {

/// The 24 x 24 icon of a results row, drawn in the colours of the application's
/// palette when shown; the same icon object for a state every time.
QIcon rowStateIcon(ResultRowState state);

enum class BannerImage { Logo, Questions, HomePage, FileConverter, History };

/// A banner picture: the logo is 195 x 64 with its words in colours for `palette`,
/// the others 64 x 64.
QPixmap bannerImage(BannerImage image, const QPalette& palette);

/// The program's icon, the logo's blossom, `size` x `size` pixels on a transparent ground;
/// drawn without a display, for the desktop's icon theme.
QImage programIcon(int size);

}  // namespace lianshuo

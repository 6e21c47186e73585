#pragma once
// Windows that open where they were left, never larger than their screen's
// free area, and lists whose columns share the list's width.

#include "store/windowplaces.h"

class QAbstractItemView;
class QHeaderView;
class QWidget;

namespace lianshuo {

/// Gives `window` the size and place "窗口位置" remembers for it (and `columns`
/// their widths), or its default size; either way no larger than the free
/// area of its screen and inside it. Each time the window hides, its place is
/// written back when it was moved or resized, or a column dragged, since it showed.
void keepWindowPlace(QWidget* window, PlacedWindow which, QHeaderView* columns = nullptr);

/// Shrinks `window` to the free area of its screen and moves it into that area when it lies
/// outside; not below the window's minimum size.
void fitOnScreen(QWidget* window);

/// Makes the columns of `view` fill its width whenever it is resized: the
/// first `sharing` columns (all when -1) in their current proportions, the
/// others at their widths. Texts too long for their cell are elided in the
/// middle and shown whole in the cell's tooltip.
void shareColumns(QAbstractItemView* view, QHeaderView* header, int sharing = -1);

}  // namespace lianshuo

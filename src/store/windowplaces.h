#pragma once
// Where the windows were left: each window's size and place and its list's
// column widths, in the section "窗口位置" of the settings file. A key is
// written only once its window was moved, resized or had a column dragged, so
// a file whose windows were never touched stays as it was.

#include <string>
#include <vector>

#include "base/result.h"

namespace lianshuo {

class ControlStateStore;

/// The windows that remember their place; the numbers index the section's keys.
enum class PlacedWindow { Main, FileConverter, History, Advanced, Information };

/// A window's place: its frame-less rectangle and its list's column widths
/// (empty when the window has no list or never saved them).
struct WindowPlace {
    int x = 0;
    int y = 0;
    int width = 0;  // 0: never saved, the window opens at its default size
    int height = 0;
    std::vector<int> columns;

    bool known() const { return width > 0 && height > 0; }
    bool operator==(const WindowPlace&) const = default;
};

/// The place "窗口位置" holds for `window`; a value that does not read as four
/// numbers (a size of at least 1 by 1) reads as unknown, a column width is
/// read into 8 to 4000 pixels.
WindowPlace loadWindowPlace(ControlStateStore& store, PlacedWindow window);

/// Writes the place of `window` as one save, leaving the other windows' keys as they are.
Status saveWindowPlace(ControlStateStore& store, PlacedWindow window, const WindowPlace& place);

}  // namespace lianshuo

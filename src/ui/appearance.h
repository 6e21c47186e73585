#pragma once
// The windows' colours: the system's, a light or a dark palette as "外观"
// chooses, and the choice's menu.

#include <QPalette>

class QMenu;
class QWidget;

namespace lianshuo {

/// The choices of "外观", numbered as stored.
enum class Appearance { System = 0, Light = 1, Dark = 2 };

/// Whether `palette` is a dark one: its window colour lighter than the middle or not.
bool isDarkPalette(const QPalette& palette);

/// The dark palette (for the Fusion style) that "深色" gives on a light system.
QPalette darkPalette();

/// Gives every open window, and every window opened later, the colours of
/// `choice`: the system's palette, or Fusion's light or dark one where the
/// system's is not of that kind.
void applyAppearance(Appearance choice);

/// The choice applied last; System until one is.
Appearance currentAppearance();

/// Adds the menu "外观" with its checkable choices "跟随系统", "浅色" and "深色"
/// to `owner`; a choice applies at once.
QMenu* addAppearanceMenu(QWidget* owner);

}  // namespace lianshuo

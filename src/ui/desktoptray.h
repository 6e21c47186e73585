#pragma once
// What the desktop offers the tray and the clipboard watch: whether it has a
// tray for the icon, and whether it tells the program of copies made elsewhere.

#include <QString>
#include <optional>

namespace lianshuo {

/// Whether the desktop has a tray to put the icon in.
bool systemTrayAvailable();
/// Makes systemTrayAvailable() answer `available` (nullopt: ask the desktop
/// again), for a test where no tray is.
void overrideSystemTrayAvailable(std::optional<bool> available);

/// How the platform tells of clipboard changes made by other programs.
enum class ClipboardSignals { Always, WhileFocused, Never };
ClipboardSignals clipboardSignals(const QString& platformName);

}  // namespace lianshuo

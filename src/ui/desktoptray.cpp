#include "ui/desktoptray.h"

#include <QSystemTrayIcon>

namespace lianshuo {
namespace {
std::optional<bool> trayOverride;
}  // namespace

bool systemTrayAvailable() {
    return trayOverride ? *trayOverride : QSystemTrayIcon::isSystemTrayAvailable();
}

void overrideSystemTrayAvailable(std::optional<bool> available) {
    trayOverride = available;
}

ClipboardSignals clipboardSignals(const QString& platformName) {
    // Wayland hands the clipboard only to the window that has the focus.
    if (platformName.startsWith(QLatin1StringView("wayland")))
        return ClipboardSignals::WhileFocused;
    for (const char* full : {"xcb", "windows", "cocoa"})
        if (platformName == QLatin1StringView(full)) return ClipboardSignals::Always;
    // Offscreen, minimal, framebuffers: a clipboard of this process only, if any.
    return ClipboardSignals::Never;
}

}  // namespace lianshuo

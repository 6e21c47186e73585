#pragma once
// The command line's way to the desktop: whether a display is there, and the
// clipboard of `convert --clipboard` and `--copy`.

namespace lianshuo {

/// True when a window system can be reached: an X11 or Wayland display, or a
/// Qt platform named in QT_QPA_PLATFORM.
bool displayAvailable();

class Clipboard;

/// The desktop's clipboard through Qt; the application must exist while it is used.
Clipboard& desktopClipboard();

/// Starts what the clipboard needs for the rest of the process and hands it to
/// the command line.
void installDesktopClipboard(int& argc, char** argv);

}  // namespace lianshuo

#pragma once
// The windows' side of the program's entry.

namespace lianshuo {

/// Loads Qt's own translations (standard buttons, file dialogs) for the
/// system's language, Simplified Chinese when it has none; false when none loaded.
bool installQtTranslations();

/// Creates the application, binds settingsStore() to the settings file, shows
/// the main window and runs the event loop until it closes; the exit code.
/// With LIANSHUO_QUIT_WHEN_SHOWN set it quits as soon as the window is shown.
/// Unless `newInstance`, a window already open on the same settings file is
/// brought to the front instead, and the exit code is 0 at once.
int runWindows(int& argc, char** argv, bool newInstance = false);

}  // namespace lianshuo

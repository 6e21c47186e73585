#pragma once
// Shared by the window tests: a temporary settings file per test, controls
// found by name, the results rows as the user sees them, and the local fake
// short-link service.

#include <QList>
#include <QString>
#include <QWidget>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "support/tempdir.h"
#include "support/test_server.h"
#include "ui/shell.h"

class QTreeWidget;

namespace lianshuo {
class MainWindow;
}

namespace lianshuo::test {

/// Binds settingsStore() to a settings file in a fresh temporary folder.
class SettingsSandbox {
public:
    SettingsSandbox();
    /// Binds the store again, as a new run of the program would.
    void rebind();
    std::filesystem::path file() const { return dir_ / "settings.ini"; }
    const TempDir& dir() const { return dir_; }

private:
    TempDir dir_;
};

/// The control called `name` under `root`; aborts the test run when there is none.
template <typename Control>
Control* control(const QWidget* root, const QString& name) {
    auto* found = root->findChild<Control*>(name);
    if (!found) qFatal("no control %s", qPrintable(name));
    return found;
}

/// One results row: its two columns and its state (the icon index, -1 when
/// the icon shown is not the state's icon).
struct Row {
    QString text;
    QString longUrl;
    int state = -1;
    bool operator==(const Row&) const = default;
};
QList<Row> rowsOf(const MainWindow& window);

/// Runs the event loop until the window's batch has ended; false when it
/// still runs after `timeoutMs`.
bool waitForBatch(const MainWindow& window, int timeoutMs = 20000);
/// The rows of any results list (the file converter's "列表框" too).
QList<Row> rowsOf(const QTreeWidget* view);

/// A short-link service on 127.0.0.1: "/short" answers "https://s.example.test/r" + the
/// number of the request, or nothing (a failed conversion) when the address holds "bad".
class FakeShortService {
public:
    FakeShortService();
    /// The interface address that sends the long address to the service.
    QString interfaceAddress() const;
    int requestCount() const;
    /// When each request arrived.
    std::vector<std::chrono::steady_clock::time_point> arrivals() const;

private:
    TestServer server_;
    mutable std::mutex mutex_;
    std::vector<std::chrono::steady_clock::time_point> arrivals_;
};

/// One test's main window on a fresh settings file, shown, with what it asks
/// the desktop to open recorded instead of opened.
class WindowSession {
public:
    WindowSession();
    ~WindowSession();
    WindowSession(const WindowSession&) = delete;
    WindowSession& operator=(const WindowSession&) = delete;

    /// False when the window could not be shown.
    bool isOpen() const { return window_ != nullptr; }
    MainWindow& window() const { return *window_; }
    const QList<ShellRequest>& opened() const { return opened_; }
    const SettingsSandbox& sandbox() const { return sandbox_; }

private:
    SettingsSandbox sandbox_;
    std::unique_ptr<MainWindow> window_;
    QList<ShellRequest> opened_;
};

namespace detail {
struct ServiceHolder {
    FakeShortService service;
};
}  // namespace detail

/// A window session whose custom interface sends every address to a fake
/// service of its own; the service outlives the window.
class ServedSession : private detail::ServiceHolder, public WindowSession {
public:
    ServedSession();
    FakeShortService& service() { return detail::ServiceHolder::service; }
};

/// Chooses the custom service and fills the panel with a plain GET interface at `address`.
void useCustomInterface(MainWindow& window, const QString& address);

/// Fills the results list with `urls` through the clipboard and the paste button.
void pasteUrls(MainWindow& window, const QStringList& urls);

}  // namespace lianshuo::test

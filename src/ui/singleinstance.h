#pragma once
// One main window per settings file: a second start without a command hands
// over to the window already open on the same file through a local socket.

#include <QObject>
#include <QString>
#include <filesystem>
#include <memory>
#include <string>

#include "base/localsocket.h"
#include "base/result.h"

class QSocketNotifier;
class QWidget;

namespace lianshuo {

/// The socket name of the windows of the settings file at the GBK path
/// `settingsPath`: a hash of its absolute path and the user's id, so two users
/// or two settings files never share one.
QString instanceSocketName(const std::string& settingsPath);

/// Where the socket called `name` lives.
std::filesystem::path instanceSocketPath(const QString& name);

/// What asking a running window to show itself found.
enum class Handover {
    Handed,       // a window answered and comes to the front
    NoneRunning,  // nothing listens on the name (or only a crashed window's socket)
    NoAnswer,     // something listens but did not answer in time
};

/// Asks the window listening on `name` to come to the front, waiting up to
/// `timeoutMs` for its answer.
Handover askToShow(const QString& name, int timeoutMs = 5000);

/// Un-minimises, shows, raises and activates `window`.
void bringToFront(QWidget& window);

/// The listening side: brings its window to the front for every request.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QWidget& window, QObject* parent = nullptr);
    ~SingleInstance() override;

    /// Listens on `name`; a socket left behind by a crashed window is replaced,
    /// one whose window still answers is left to it.
    Status listen(const QString& name);

signals:
    /// A request came and the window was brought to the front.
    void showRequested();

private:
    void answer();

    QWidget& window_;
    platform::LocalSocket server_;
    std::filesystem::path path_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace lianshuo

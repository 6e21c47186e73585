#include "ui/singleinstance.h"

#include <QCryptographicHash>
#include <QSocketNotifier>
#include <QWidget>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "base/paths.h"
#include "ui/qtext.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr std::string_view kShowRequest = "show";
constexpr std::string_view kShownAnswer = "ok";
// A request comes with its connection; a program that connects and says nothing
// holds the window up no longer than this.
constexpr int kRequestMs = 200;

}  // namespace

QString instanceSocketName(const std::string& settingsPath) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(nativePath(settingsPath), ec);
    // Symbolic links and "..": one file reached two ways is still one file.
    if (std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, ec); !ec)
        absolute = std::move(resolved);
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(absolute.lexically_normal().string()),
                                 QCryptographicHash::Sha256);
    return u"lianshuo-"_s + QString::fromStdString(platform::userIdText()) + u'-' +
           QString::fromLatin1(hash.toHex().left(24));
}

std::filesystem::path instanceSocketPath(const QString& name) {
    return platform::socketFolder() / name.toStdString();
}

Handover askToShow(const QString& name, int timeoutMs) {
    Result<platform::LocalSocket> socket = platform::connectLocal(instanceSocketPath(name));
    if (!socket) {
        // Refused, or no file: nothing listens, or only a crashed window's socket is left.
        const int code = socket.code();
        return code == ECONNREFUSED || code == ENOENT ? Handover::NoneRunning : Handover::NoAnswer;
    }
    if (!socket->send(std::string(kShowRequest) + "\n")) return Handover::NoAnswer;
    const Result<std::string> answer = socket->readLine(timeoutMs);
    return answer && *answer == kShownAnswer ? Handover::Handed : Handover::NoAnswer;
}

void bringToFront(QWidget& window) {
    window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window.show();
    window.raise();
    window.activateWindow();
}

SingleInstance::SingleInstance(QWidget& window, QObject* parent)
    : QObject(parent), window_(window) {}

SingleInstance::~SingleInstance() {
    // The name is free again for the next window; a crash leaves the file, which the
    // next window replaces.
    if (server_.valid()) {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }
}

Status SingleInstance::listen(const QString& name) {
    const std::filesystem::path path = instanceSocketPath(name);
    // A window that still answers keeps its name; only a crashed one's socket is replaced.
    if (Result<platform::LocalSocket> probe = platform::connectLocal(path); probe)
        return Status::failed(fromQt(u"另一个窗口正在使用 "_s + name));
    Result<platform::LocalSocket> server = platform::listenLocal(path);
    if (!server) return Status::failed(server.reason());
    server_ = std::move(*server);
    path_ = path;
    notifier_ = std::make_unique<QSocketNotifier>(server_.descriptor(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SingleInstance::answer);
    return {};
}

void SingleInstance::answer() {
    for (platform::LocalSocket client = server_.accept(); client.valid();
         client = server_.accept()) {
        const Result<std::string> request = client.readLine(kRequestMs);
        if (!request || *request != kShowRequest) continue;
        bringToFront(window_);
        emit showRequested();
        (void)client.send(std::string(kShownAnswer) + "\n");
    }
}

}  // namespace lianshuo

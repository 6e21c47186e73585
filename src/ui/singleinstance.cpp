#include "ui/singleinstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include "base/paths.h"
#include "ui/qtext.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr QByteArrayView kShowRequest = "show\n";
constexpr QByteArrayView kShownAnswer = "ok\n";

QString userPart() {
#ifdef Q_OS_UNIX
    return QString::number(::getuid());
#else
    // Named pipes are per session already; the name keeps two accounts apart all the same.
    return qEnvironmentVariable("USERNAME");
#endif
}

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
    return u"lianshuo-"_s + userPart() + u'-' + QString::fromLatin1(hash.toHex().left(24));
}

Handover askToShow(const QString& name, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        // Refused: the socket of a window that crashed, which listen() clears away.
        return socket.error() == QLocalSocket::SocketTimeoutError ? Handover::NoAnswer
                                                                  : Handover::NoneRunning;
    socket.write(kShowRequest.data(), kShowRequest.size());
    socket.flush();
    while (!socket.canReadLine()) {
        const int left = static_cast<int>(deadline.remainingTime());
        if (left <= 0 || !socket.waitForReadyRead(left)) return Handover::NoAnswer;
    }
    return socket.readLine() == kShownAnswer ? Handover::Handed : Handover::NoAnswer;
}

void bringToFront(QWidget& window) {
    window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window.show();
    window.raise();
    window.activateWindow();
}

SingleInstance::SingleInstance(QWidget& window, QObject* parent)
    : QObject(parent), window_(window), server_(new QLocalServer(this)) {
    // Only this user's programs may ask.
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::answer);
}

SingleInstance::~SingleInstance() = default;

Status SingleInstance::listen(const QString& name) {
    // Listening with the user-only option puts a new socket file in place of any
    // old one: a window that still answers keeps its name, and only a socket
    // left behind by a crashed one is cleared away.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(1000))
        return Status::failed(fromQt(u"另一个窗口正在使用 "_s + name));
    QLocalServer::removeServer(name);
    if (server_->listen(name)) return {};
    return Status::failed(fromQt(server_->errorString()));
}

void SingleInstance::answer() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const auto read = [this, socket] {
            if (!socket->canReadLine()) return;
            if (socket->readLine() == kShowRequest) {
                bringToFront(window_);
                emit showRequested();
                socket->write(kShownAnswer.data(), kShownAnswer.size());
                socket->flush();
            }
            socket->disconnectFromServer();
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
        // The request may have come with the connection.
        read();
    }
}

}  // namespace lianshuo

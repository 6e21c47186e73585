#include "ui/shell.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include "ui/dialogs.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

namespace {

std::function<void(const ShellRequest&)>& interceptor() {
    static std::function<void(const ShellRequest&)> slot;
    return slot;
}

void openFolder(const QString& folder) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

// The file manager selects the file when it offers ShowItems over D-Bus; any
// failure there falls back to opening the folder that holds the file.
void showFileSelected(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openFolder(folder);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        u"org.freedesktop.FileManager1"_s, u"/org/freedesktop/FileManager1"_s,
        u"org.freedesktop.FileManager1"_s, u"ShowItems"_s);
    call << QStringList{QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString()}
         << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [folder](QDBusPendingCallWatcher* finished) {
                         if (finished->isError()) openFolder(folder);
                         finished->deleteLater();
                     });
}

}  // namespace

void setShellInterceptor(std::function<void(const ShellRequest&)> handler) {
    interceptor() = std::move(handler);
}

bool isWebAddress(const QString& text) {
    return text.startsWith(u"http://"_s, Qt::CaseInsensitive) ||
           text.startsWith(u"https://"_s, Qt::CaseInsensitive);
}

bool openWithShell(const QString& text) {
    if (!isWebAddress(text)) return false;
    if (interceptor()) {
        interceptor()({ShellRequest::Url, text});
        return true;
    }
    return QDesktopServices::openUrl(QUrl(text));
}

void openInExplorer(const QString& path, bool selectFile) {
    if (interceptor()) {
        interceptor()({selectFile ? ShellRequest::SelectFile : ShellRequest::Folder, path});
        return;
    }
    if (selectFile)
        showFileSelected(path);
    else
        openFolder(path);
}

QString browseForFolder(QWidget* parent, const QString& start) {
    return FileDialog::getExistingDirectory(parent, u"请选择一个文件夹"_s, start).trimmed();
}

}  // namespace lianshuo

#pragma once
// The desktop's side of the windows: the browser, the file manager and the
// folder chooser.

#include <QString>
#include <functional>

class QWidget;

namespace lianshuo {

/// True when `text` begins with http:// or https://, in any letter case.
bool isWebAddress(const QString& text);

/// Opens a web address in the browser. Anything else (a service's reply may
/// name a program or a local file) opens nothing; false then.
bool openWithShell(const QString& text);

/// Shows `path` in the file manager: with `selectFile`, its folder with the
/// file selected where the file manager can do that; else the folder itself.
void openInExplorer(const QString& path, bool selectFile);

/// The folder chooser titled "请选择一个文件夹", starting at `start`; the
/// choice with spaces trimmed, empty when cancelled.
QString browseForFolder(QWidget* parent, const QString& start);

/// What the desktop was asked to open.
struct ShellRequest {
    enum Kind { Url, Folder, SelectFile } kind;
    QString target;
};

/// Tests: requests go to `interceptor` instead of the desktop (empty function: the desktop).
void setShellInterceptor(std::function<void(const ShellRequest&)> interceptor);

}  // namespace lianshuo

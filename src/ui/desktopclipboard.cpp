#include "ui/desktopclipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <cstdlib>
#include <memory>

#include "jobs/clipboard.h"

namespace lianshuo {
namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

class QtClipboard : public Clipboard {
public:
    std::optional<std::string> text() override {
        return QGuiApplication::clipboard()->text().toStdString();
    }
    bool setText(const std::string& text) override {
        QGuiApplication::clipboard()->setText(QString::fromStdString(text));
        return QGuiApplication::clipboard()->text() == QString::fromStdString(text);
    }
};

}  // namespace

bool displayAvailable() {
    return isSet("DISPLAY") || isSet("WAYLAND_DISPLAY") || isSet("QT_QPA_PLATFORM");
}

Clipboard& desktopClipboard() {
    static QtClipboard clipboard;
    return clipboard;
}

void installDesktopClipboard(int& argc, char** argv) {
    static std::unique_ptr<QGuiApplication> application;
    if (QCoreApplication::instance() == nullptr)
        application = std::make_unique<QGuiApplication>(argc, argv);
    setClipboard(&desktopClipboard());
}

}  // namespace lianshuo

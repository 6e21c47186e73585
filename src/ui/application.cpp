#include "ui/application.h"

#include <QApplication>
#include <QTimer>
#include <cstdlib>

#include "app/base/messages.h"
#include "app/settings.h"
#include "store/controlstatestore.h"
#include "ui/dialogs.h"
#include "ui/fileconverterwindow.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

void installWindowHooks() {
    setMessagePump([] { QCoreApplication::processEvents(); });
    ControlStateStore::setWarningHandler([](std::string_view title, std::string_view text) {
        MessageBox::warning(nullptr, toQt(title), toQt(text));
    });
}

int runWindows(int& argc, char** argv) {
    QApplication application(argc, argv);
    installWindowHooks();
    if (const Status bound = settingsStore().bindFile(settingsFilePath()); !bound)
        MessageBox::warning(
            nullptr, u"蓝棠："_s,
            u"无法读取配置文件："_s + toQt(settingsFilePath()) + u"\n"_s + toQt(bound.reason()));
    MainWindow window;
    window.setFileConverterOpener([&window] { showFileConverterWindow(window); });
    window.show();
    // The start-up benchmark measures the way to the shown window, and no further: not the
    // closing sequence, which saves the settings.
    if (qEnvironmentVariableIsSet("LIANSHUO_QUIT_WHEN_SHOWN"))
        QTimer::singleShot(0, &application, [] { std::_Exit(0); });
    const int code = QApplication::exec();
    setMessagePump({});
    return code;
}

}  // namespace lianshuo

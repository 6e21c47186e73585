#include "ui/application.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

#include "store/controlstatestore.h"
#include "store/settings.h"
#include "ui/dialogs.h"
#include "ui/fileconverterwindow.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "ui/settingssaves.h"
#include "ui/singleinstance.h"

namespace lianshuo {

using namespace Qt::Literals::StringLiterals;

bool installQtTranslations() {
    static QTranslator translator;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const bool loaded =
        translator.load(QLocale::system(), u"qtbase"_s, u"_"_s, folder) ||
        translator.load(QLocale(QLocale::Chinese, QLocale::China), u"qtbase"_s, u"_"_s, folder);
    return loaded && QCoreApplication::installTranslator(&translator);
}

int runWindows(int& argc, char** argv, bool newInstance) {
    QApplication application(argc, argv);
    const std::string settingsPath = settingsFilePath();
    const QString socketName = instanceSocketName(settingsPath);
    // Another window of its own never takes the socket from the window that holds it.
    bool listen = !newInstance;
    if (!newInstance) {
        const Handover handover = askToShow(socketName);
        if (handover == Handover::Handed) return 0;
        // A window that holds the socket but does not answer keeps it; this one opens beside it.
        listen = handover == Handover::NoneRunning;
    }
    installQtTranslations();
    if (const Status bound = settingsStore().bindFile(settingsPath); !bound)
        MessageBox::warning(
            nullptr, u"蓝棠："_s,
            u"无法读取配置文件："_s + toQt(settingsPath) + u"\n"_s + toQt(bound.reason()));
    else
        reportTokenPrivacy(nullptr);
    MainWindow window;
    window.setFileConverterOpener([&window] { showFileConverterWindow(window); });
    SingleInstance instance(window);
    if (listen) {
        // Without the socket the window still works; only a second start opens a second window.
        if (const Status listening = instance.listen(socketName); !listening)
            std::fprintf(stderr, "lianshuo: %s\n",
                         toQt(listening.reason()).toLocal8Bit().constData());
    }
    window.show();
    // The start-up benchmark measures the way to the shown window, and no further: not the
    // closing sequence, which saves the settings.
    if (qEnvironmentVariableIsSet("LIANSHUO_QUIT_WHEN_SHOWN"))
        QTimer::singleShot(0, &application, [] { std::_Exit(0); });
    return QApplication::exec();
}

}  // namespace lianshuo

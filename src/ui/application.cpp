#include "ui/application.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <cstdlib>

#include "store/controlstatestore.h"
#include "store/settings.h"
#include "ui/dialogs.h"
#include "ui/fileconverterwindow.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "ui/settingssaves.h"

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

int runWindows(int& argc, char** argv) {
    QApplication application(argc, argv);
    installQtTranslations();
    if (const Status bound = settingsStore().bindFile(settingsFilePath()); !bound)
        MessageBox::warning(
            nullptr, u"蓝棠："_s,
            u"无法读取配置文件："_s + toQt(settingsFilePath()) + u"\n"_s + toQt(bound.reason()));
    else
        reportTokenPrivacy(nullptr);
    MainWindow window;
    window.setFileConverterOpener([&window] { showFileConverterWindow(window); });
    window.show();
    // The start-up benchmark measures the way to the shown window, and no further: not the
    // closing sequence, which saves the settings.
    if (qEnvironmentVariableIsSet("LIANSHUO_QUIT_WHEN_SHOWN"))
        QTimer::singleShot(0, &application, [] { std::_Exit(0); });
    return QApplication::exec();
}

}  // namespace lianshuo

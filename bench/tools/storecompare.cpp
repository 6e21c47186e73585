// Saving 1,000 interfaces (14,000 writes, each persisted) through the
// settings store, against QSettings doing the same writes with a sync()
// after each on an INI file. Prints "store-seconds qsettings-seconds".

#include <QSettings>
#include <QString>
#include <cstdlib>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "services/interfacestore.h"
#include "services/panelinterface.h"
#include "store/controlstatestore.h"

namespace {

// The panel's starting definition, on a host of its own.
lianshuo::ShortUrlInterface sample(int i) {
    lianshuo::ShortUrlInterface d =
        lianshuo::initialPanelInterface(lianshuo::defaultBuiltinHosts());
    d.address = "https://s" + std::to_string(i) + ".example/api?url=#u#";
    return d;
}

template <typename F>
double seconds(F&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    const auto folder = std::filesystem::temp_directory_path() / "lianshuo-storecompare";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);

    const double store = seconds([&] {
        lianshuo::ControlStateStore settings;
        if (!settings.bindFile((folder / "store.ini").string())) std::exit(1);
        for (int i = 0; i < count; ++i)
            if (!lianshuo::saveInterface(sample(i), settings)) std::exit(1);
    });
    const double qsettings = seconds([&] {
        QSettings settings(QString::fromStdString((folder / "qsettings.ini").string()),
                           QSettings::IniFormat);
        for (int i = 0; i < count; ++i) {
            const lianshuo::ShortUrlInterface d = sample(i);
            const QString group = QStringLiteral("s%1/").arg(i);
            const std::pair<const char*, QString> values[] = {
                {"mode", QString::number(d.postMode)},
                {"utf8", QString::number(d.utf8Encoding)},
                {"post", QString::fromStdString(d.postTemplate)},
                {"address", QString::fromStdString(d.address)},
                {"cut", QStringLiteral("1")},
                {"reverse", QStringLiteral("0")},
                {"left", QString::fromStdString(d.leftMarker)},
                {"right", QString::fromStdString(d.rightMarker)},
                {"replace", QStringLiteral("1")},
                {"find", QString::fromStdString(d.findList)},
                {"with", QString::fromStdString(d.replaceList)},
                {"insert", QStringLiteral("0")},
                {"prefix", QString::fromStdString(d.prefix)},
                {"suffix", QString::fromStdString(d.suffix)}};
            for (const auto& [key, value] : values) {
                settings.setValue(group + QString::fromLatin1(key), value);
                settings.sync();
            }
        }
    });
    std::printf("%.4f %.4f\n", store, qsettings);
    std::filesystem::remove_all(folder);
    return 0;
}

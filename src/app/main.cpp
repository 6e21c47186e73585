#include <iostream>

#include "app/base/charset.h"
#include "app/settings.h"
#include "store/controlstatestore.h"

int main() {
    using namespace lianshuo;
    settingsStore().bindFile(settingsFilePath());
    std::cout << toUtf8(appTitle()) << '\n' << toUtf8(settingsStore().path()) << '\n';
    return 0;
}

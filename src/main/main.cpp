// The program's entry: the windows without arguments, the command line with them.

#include <iostream>
#include <string>
#include <vector>

#include "base/charset.h"
#include "base/platform.h"
#include "cli/commandline.h"

#ifdef LIANSHUO_WINDOWS
#include <algorithm>

#include "ui/application.h"
#include "ui/desktopclipboard.h"
#endif

int main(int argc, char** argv) {
    // Before anything opens a file: a closed standard stream would hand its
    // number to the next file opened, and output or input would go through it.
    lianshuo::platform::ensureStandardStreams();
    const std::vector<std::string> args(argv + 1, argv + argc);
#ifdef LIANSHUO_WINDOWS
    // --new-instance alone is the window too: one more, beside a window already open.
    const bool newInstance = args.size() == 1 && args[0] == "--new-instance";
    if (args.empty() || newInstance) {
        // Qt would abort with its plugin error; a person needs to know what to do instead.
        if (!lianshuo::displayAvailable()) {
            std::cerr << lianshuo::toUtf8(
                "lianshuo: 没有找到可以打开窗口的显示器；lianshuo --help 列出不需要显示器的命令\n");
            return 2;
        }
        return lianshuo::runWindows(argc, argv, newInstance);
    }
    const auto wants = [&args](const char* option) {
        return std::find(args.begin(), args.end(), option) != args.end();
    };
    if ((wants("--clipboard") || wants("--copy")) && lianshuo::displayAvailable())
        lianshuo::installDesktopClipboard(argc, argv);
#endif
    lianshuo::installInterruptHandler();
    return lianshuo::runCommandLine(args, std::cin, std::cout, std::cerr);
}

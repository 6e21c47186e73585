// The program's entry: the windows without arguments, the command line with them.

#include <iostream>
#include <string>
#include <vector>

#include "app/base/platform.h"
#include "cli/commandline.h"

#ifdef LIANSHUO_WINDOWS
#include "ui/application.h"
#endif

int main(int argc, char** argv) {
    // Before anything opens a file: a closed standard stream would hand its
    // number to the next file opened, and output or input would go through it.
    lianshuo::platform::ensureStandardStreams();
#ifdef LIANSHUO_WINDOWS
    if (argc <= 1) return lianshuo::runWindows(argc, argv);
#endif
    lianshuo::installInterruptHandler();
    const std::vector<std::string> args(argv + 1, argv + argc);
    return lianshuo::runCommandLine(args, std::cin, std::cout, std::cerr);
}

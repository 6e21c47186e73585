// The program's entry: the windows without arguments, the command line with them.

#include <iostream>
#include <string>
#include <vector>

#include "cli/commandline.h"

#ifdef LIANSHUO_WINDOWS
#include "ui/application.h"
#endif

int main(int argc, char** argv) {
#ifdef LIANSHUO_WINDOWS
    if (argc <= 1) return lianshuo::runWindows(argc, argv);
#endif
    lianshuo::installInterruptHandler();
    const std::vector<std::string> args(argv + 1, argv + argc);
    return lianshuo::runCommandLine(args, std::cin, std::cout, std::cerr);
}

#include "cli/commandline.h"

#include <csignal>
#include <iostream>

#include "base/charset.h"
#include "base/platform.h"
#include "cli/helptext.h"
#include "cli/session.h"
#include "version.h"

namespace lianshuo {
namespace {

void onInterrupt(int) {
    cli::interrupt();
    // A second interrupt ends the program at once.
    std::signal(SIGINT, SIG_DFL);
}

}  // namespace

void installInterruptHandler() {
    std::signal(SIGINT, onInterrupt);
#ifdef SIGPIPE
    // A reader that goes away shows as a failed write, which ends the run in
    // order, instead of killing the process between a conversion and its record.
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

int runCommandLine(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                   std::ostream& err) {
    cli::interrupted = false;
    using platform::StandardStream;
    cli::Console console{in, out, err,
                         &err == &std::cerr && platform::isTerminal(StandardStream::Error)};
    std::string error;
    const auto options = cli::parseOptions(args, error);
    if (!options) return cli::fail(console, error + "（见 lianshuo --help）");
    console.progress = console.progress && !options->quiet;
    console.outTerminal = &out == &std::cout && platform::isTerminal(StandardStream::Output);
    console.inTerminal = &in == &std::cin && platform::isTerminal(StandardStream::Input);
    if (options->command.empty()) {
        err << toUtf8(cli::helpText());  // a build without windows needs a command
        return cli::kUsage;
    }
    if (options->command == "--help") {
        out << toUtf8(cli::helpText());
        return cli::kOk;
    }
    if (options->command == "--version") {
        out << "lianshuo " << kVersion << '\n';
        return cli::kOk;
    }
    if (options->command == "convert") return cli::runConvert(*options, console);
    if (options->command == "expand") return cli::runExpand(*options, console);
    if (options->command == "files") return cli::runFiles(*options, console);
    if (options->command == "interfaces") return cli::runInterfaces(*options, console);
    if (options->command == "history") return cli::runHistory(*options, console);
    if (options->command == "qr") return cli::runQr(*options, console);
    return cli::fail(console, "未知命令“" + fromUtf8(options->command) + "”（见 lianshuo --help）");
}

}  // namespace lianshuo

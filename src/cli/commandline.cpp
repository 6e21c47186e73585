#include "cli/commandline.h"

#include <csignal>
#include <iostream>

#include "base/charset.h"
#include "base/platform.h"
#include "cli/session.h"
#include "version.h"

namespace lianshuo {
namespace {

constexpr const char* kUsage =
    "usage: lianshuo [COMMAND] [options]\n"
    "\n"
    "Without a command, opens the main window, or brings the window already open on the same\n"
    "settings file to the front; --new-instance opens another window anyway.\n"
    "\n"
    "  convert [options] [URL ...]   convert long addresses, as the batch does\n"
    "  files [options] FOLDER        rewrite the files of a folder, as the file converter does\n"
    "  interfaces list               the saved interfaces' names\n"
    "  interfaces show NAME          the keys of a saved interface\n"
    "  interfaces export NAME FILE   write a saved interface into FILE (.ini, or .sxcu)\n"
    "  interfaces import FILE        save the first interface of FILE (.ini or .sxcu)\n"
    "  interfaces delete NAME        delete a saved interface\n"
    "  interfaces presets            the ready interfaces of known services\n"
    "  interfaces add [options]      save an interface made of a preset and the options below\n"
    "  interfaces test NAME [URL]    convert one address with a saved interface\n"
    "  history list                  the kept conversions: short, long, service, made, last used,\n"
    "                                uses\n"
    "  history export FILE           write the kept conversions into a CSV file (UTF-8)\n"
    "  history forget                delete kept conversions (all of them without options)\n"
    "  history check                 ask each kept short address where it leads: one line\n"
    "                                STATE<TAB>SHORT<TAB>LONG (有效, 失效, 指向别处, 未能验证)\n"
    "                                and a summary; exit status 1 when one is 失效 or 指向别处\n"
    "  qr [--png FILE] [--size N] TEXT\n"
    "                                print TEXT's QR code in half blocks (light modules as\n"
    "                                blocks, for a dark terminal), or write it into the PNG\n"
    "                                file FILE, N pixels per module (1 to 64, default 8);\n"
    "                                exit status 1 when TEXT does not fit or FILE fails\n"
    "\n"
    "Options of convert and files:\n"
    "  --settings FILE     the settings file (also LIANSHUO_SETTINGS)\n"
    "  --service S         custom, baidu, weibo, tinyurl (or 0 to 3)\n"
    "  --interface NAME    the saved custom interface to use\n"
    "  --interval SECONDS  the pause between two conversions (0 to 86400)\n"
    "  --retries N         tries again after a time-out or a busy service (0 to 10, default 2)\n"
    "  --jobs N            conversions under way at once (1 to 32, default the setting\n"
    "                      并发数, else 1); results keep the input order\n"
    "  --token TOKEN       the Baidu token\n"
    "  --quiet             no progress line on a terminal\n"
    "  --verbose           print each request's method, address and status\n"
    "  --no-history        ask the service even for an address converted before (the\n"
    "                      new short address is still kept)\n"
    "  --refresh           convert again and replace the short addresses kept before\n"
    "  --verify            ask each short address where it leads (no credentials): one that\n"
    "                      leads elsewhere or answers 404/410 fails; one that cannot tell\n"
    "                      is kept, with \"未能验证: ADDRESS: REASON\" on standard error\n"
    "convert only:\n"
    "  --input FILE        read the addresses from FILE (- for standard input)\n"
    "  --clipboard         read the addresses from the clipboard\n"
    "  --copy              put the short addresses on the clipboard, one per line\n"
    "  --json              print one JSON object per address instead of text\n"
    "  --save-dir DIR      write the results file into DIR\n"
    "  --no-save           write no results file\n"
    "files only:\n"
    "  --pattern P         which files (default from the settings, else *.htm)\n"
    "  --search            take every name matching one of the |-separated patterns, in\n"
    "                      pattern order (a file may be taken twice)\n"
    "  --white TEXT | --no-white, --white-regex\n"
    "  --black TEXT | --no-black, --black-regex\n"
    "interfaces add:\n"
    "  --preset NAME       start from a preset; --host HOST for its host (self-hosted ones)\n"
    "  --token TOKEN       the secret put where #令牌# stands; --token - reads it from\n"
    "                      standard input (one line), and without --token it is taken\n"
    "                      from LIANSHUO_TOKEN, so it never shows in the process list.\n"
    "                      It is kept in the system keyring when there is one.\n"
    "  --name NAME         the interface's name (default: the host of its address)\n"
    "  --address URL       the address; #长网址# stands for the long address\n"
    "  --method M          GET, POST, PUT or PATCH\n"
    "  --body TEXT         the POST data\n"
    "  --header 'N: V'     a request header (again for more)\n"
    "  --format F          the body's format: form, json, multipart or raw\n"
    "  --utf8              the long address and the reply in UTF-8 (default GBK)\n"
    "  --extract K         where the short address is: cut, json, regex or header\n"
    "  --expression E      the JSON path, regular expression or header name\n"
    "  --left TEXT, --right TEXT, --reverse   the markers of cut\n"
    "  --replace FIND=TO   replace in the result (again for more)\n"
    "  --prefix TEXT, --suffix TEXT           put before and after the result\n"
    "  --error E           where the service's error message is\n"
    "  --success LIST      the success statuses (default 200-299)\n"
    "  --success-rule R    what a reply must hold to count (PATH=VALUE, PATH!=VALUE, PATH\n"
    "                      with --extract json; else a regular expression)\n"
    "  --throttle-rule R   the same; when it holds the reply counts as too many requests\n"
    "  --pause MS          the least pause between two requests of the interface\n"
    "interfaces export:\n"
    "  --with-token        write the token too\n"
    "history only:\n"
    "  --service S         one service's conversions: custom, baidu, weibo, tinyurl, or an\n"
    "                      interface's name\n"
    "  --since DATE        list, export or check what was used since DATE (YYYY-MM-DD [HH:MM])\n"
    "  --before DATE       forget what was not used since DATE; check what was made before it\n"
    "  --jobs N            history check: links asked at once (1 to 32, default 1)\n"
    "\n"
    "Conversions are kept in 历史.sqlite beside the settings file (LIANSHUO_HISTORY names\n"
    "another file); an address converted before is not sent to the service again.\n"
    "\n"
    "Failures are printed on standard error as \"失败: ADDRESS: REASON\".\n"
    "Exit status: 0 all converted, 1 a conversion failed, 2 bad usage or input, 130 interrupted,\n"
    "141 standard output closed before every row was printed.\n";

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
    if (!options) return cli::fail(console, error + " (see lianshuo --help)");
    console.progress = console.progress && !options->quiet;
    console.outTerminal = &out == &std::cout && platform::isTerminal(StandardStream::Output);
    if (options->command.empty()) {
        err << toUtf8(kUsage);  // a build without windows needs a command
        return cli::kUsage;
    }
    if (options->command == "--help") {
        out << toUtf8(kUsage);
        return cli::kOk;
    }
    if (options->command == "--version") {
        out << "lianshuo " << kVersion << '\n';
        return cli::kOk;
    }
    if (options->command == "convert") return cli::runConvert(*options, console);
    if (options->command == "files") return cli::runFiles(*options, console);
    if (options->command == "interfaces") return cli::runInterfaces(*options, console);
    if (options->command == "history") return cli::runHistory(*options, console);
    if (options->command == "qr") return cli::runQr(*options, console);
    return cli::fail(console,
                     "unknown command '" + fromUtf8(options->command) + "' (see lianshuo --help)");
}

}  // namespace lianshuo

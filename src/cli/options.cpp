#include "cli/options.h"

#include <map>

#include "base/charset.h"

namespace lianshuo::cli {
namespace {

using Field = std::optional<std::string> Options::*;
using Flag = bool Options::*;
using List = std::vector<std::string> Options::*;

const std::map<std::string, Field>& valueOptions() {
    static const std::map<std::string, Field> options{{"--settings", &Options::settings},
                                                      {"--service", &Options::service},
                                                      {"--interface", &Options::interfaceName},
                                                      {"--interval", &Options::interval},
                                                      {"--token", &Options::token},
                                                      {"--input", &Options::input},
                                                      {"--save-dir", &Options::saveDir},
                                                      {"--pattern", &Options::pattern},
                                                      {"--white", &Options::white},
                                                      {"--black", &Options::black},
                                                      {"--retries", &Options::retries},
                                                      {"--jobs", &Options::jobs},
                                                      {"--since", &Options::since},
                                                      {"--before", &Options::before},
                                                      {"--preset", &Options::preset},
                                                      {"--host", &Options::host},
                                                      {"--name", &Options::name},
                                                      {"--address", &Options::address},
                                                      {"--method", &Options::method},
                                                      {"--body", &Options::body},
                                                      {"--format", &Options::format},
                                                      {"--extract", &Options::extract},
                                                      {"--expression", &Options::expression},
                                                      {"--left", &Options::left},
                                                      {"--right", &Options::right},
                                                      {"--prefix", &Options::prefix},
                                                      {"--suffix", &Options::suffix},
                                                      {"--error", &Options::error},
                                                      {"--success", &Options::success},
                                                      {"--success-rule", &Options::successRule},
                                                      {"--throttle-rule", &Options::throttleRule},
                                                      {"--pause", &Options::pause},
                                                      {"--username", &Options::username},
                                                      {"--password", &Options::password},
                                                      {"--token-url", &Options::tokenUrl},
                                                      {"--token-method", &Options::tokenMethod},
                                                      {"--token-format", &Options::tokenFormat},
                                                      {"--token-body", &Options::tokenBody},
                                                      {"--token-path", &Options::tokenPath},
                                                      {"--token-ttl", &Options::tokenTtl},
                                                      {"--result-template", &Options::shortFrom},
                                                      {"--fallback", &Options::fallbacks},
                                                      {"--add-query", &Options::addQuery},
                                                      {"--png", &Options::png},
                                                      {"--size", &Options::size},
                                                      {"--hosts", &Options::hosts},
                                                      {"--migrate-from", &Options::migrateFrom}};
    return options;
}

const std::map<std::string, List>& listOptions() {
    static const std::map<std::string, List> lists{{"--header", &Options::headers},
                                                   {"--replace", &Options::replacements},
                                                   {"--token-header", &Options::tokenHeaders}};
    return lists;
}

const std::map<std::string, Flag>& flagOptions() {
    static const std::map<std::string, Flag> flags{{"--no-save", &Options::noSave},
                                                   {"--search", &Options::search},
                                                   {"--json", &Options::json},
                                                   {"--quiet", &Options::quiet},
                                                   {"--verbose", &Options::verbose},
                                                   {"--clipboard", &Options::clipboard},
                                                   {"--copy", &Options::copy},
                                                   {"--no-white", &Options::noWhite},
                                                   {"--no-black", &Options::noBlack},
                                                   {"--white-regex", &Options::whiteRegex},
                                                   {"--black-regex", &Options::blackRegex},
                                                   {"--no-history", &Options::noHistory},
                                                   {"--refresh", &Options::refresh},
                                                   {"--verify", &Options::verify},
                                                   {"--reverse", &Options::reverse},
                                                   {"--utf8", &Options::utf8},
                                                   {"--with-token", &Options::withToken},
                                                   {"--plain", &Options::plain},
                                                   {"--shorten-short", &Options::shortenShort},
                                                   {"--expand", &Options::expand}};
    return flags;
}

}  // namespace

std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string& error) {
    Options options;
    bool onlyPositional = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        // -h is the one short option: the help everyone tries first.
        const std::string& arg = !onlyPositional && args[i] == "-h" ? "--help" : args[i];
        if (onlyPositional || arg.size() < 2 || arg.compare(0, 2, "--") != 0 || arg == "-") {
            if (options.command.empty())
                options.command = arg;
            else
                options.positional.push_back(fromUtf8(arg));
            continue;
        }
        if (arg == "--") {
            onlyPositional = true;
            continue;
        }
        if (arg == "--help" || arg == "--version") {
            options.command = arg;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const auto value = valueOptions().find(name);
        const auto list = listOptions().find(name);
        if (value != valueOptions().end() || list != listOptions().end()) {
            std::string text;
            if (equals != std::string::npos) {
                text = fromUtf8(arg.substr(equals + 1));
            } else if (i + 1 < args.size()) {
                text = fromUtf8(args[++i]);
            } else {
                error = "选项 " + fromUtf8(name) + " 需要一个值";
                return std::nullopt;
            }
            if (value != valueOptions().end())
                options.*(value->second) = std::move(text);
            else
                (options.*(list->second)).push_back(std::move(text));
        } else if (const auto flag = flagOptions().find(arg); flag != flagOptions().end()) {
            options.*(flag->second) = true;
        } else {
            error = "未知选项 " + fromUtf8(arg);
            return std::nullopt;
        }
    }
    return options;
}

int parseService(const std::string& text) {
    static const std::map<std::string, int> names{{"custom", 0},  {"baidu", 1}, {"weibo", 2},
                                                  {"tinyurl", 3}, {"0", 0},     {"1", 1},
                                                  {"2", 2},       {"3", 3}};
    const auto found = names.find(text);
    return found == names.end() ? -1 : found->second;
}

}  // namespace lianshuo::cli

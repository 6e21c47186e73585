#pragma once
// Parsed command-line options. Texts are GBK; whatever is not given stays
// unset and is taken from the settings file.

#include <optional>
#include <string>
#include <vector>

namespace lianshuo::cli {

struct Options {
    // "convert", "expand", "files", "interfaces", "history", "qr", "--help", "--version"
    std::string command;
    std::vector<std::string> positional;
    std::optional<std::string> settings, service, interfaceName, interval, token, retries, jobs;
    // convert
    std::optional<std::string> input, saveDir;
    bool noSave = false;
    bool json = false;  // one JSON object per line instead of tab-separated text
    bool quiet = false, verbose = false;
    bool noHistory = false;  // convert every address, even one the history holds
    bool refresh = false;    // convert again and replace what the history holds
    // --add-query: parameters added to every long address
    std::optional<std::string> addQuery;
    bool verify = false;  // ask each new short address where it leads (convert, files)
    bool clipboard = false,
         copy = false;  // read the addresses from / put the results on the clipboard
    // convert and files: short addresses; files: the mode
    bool shortenShort = false, expand = false;
    std::optional<std::string> hosts, migrateFrom;
    // files
    std::optional<std::string> pattern, white, black;
    bool search = false, noWhite = false, noBlack = false, whiteRegex = false, blackRegex = false;
    // history
    std::optional<std::string> since, before;
    bool plain = false;  // export: the English header without a byte-order mark, for scripts
    // qr
    std::optional<std::string> png, size;
    // interfaces add (--token is the interface's token there) and export
    std::optional<std::string> preset, host, name, address, method, body, format, extract,
        expression, left, right, prefix, suffix, error, success, pause, successRule, throttleRule;
    // --result-template, --fallback
    std::optional<std::string> shortFrom, fallbacks;
    std::vector<std::string> headers, replacements;  // --header, --replace: each may repeat
    // interfaces add: the credentials and the token request (--token-header may repeat)
    std::optional<std::string> username, password, tokenUrl, tokenMethod, tokenFormat, tokenBody,
        tokenPath, tokenTtl;
    std::vector<std::string> tokenHeaders;
    bool reverse = false, utf8 = false, withToken = false;
};

/// Parses `args` (UTF-8); on failure returns nullopt and sets `error` (UTF-8).
std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string& error);

/// The service number of "custom", "baidu", "weibo", "tinyurl" or "0"-"3"; -1 when unknown.
int parseService(const std::string& text);

}  // namespace lianshuo::cli

// lianshuo history: list, export and forget the kept conversions.

#include <filesystem>
#include <iostream>
#include <system_error>

#include "base/charset.h"
#include "base/paths.h"
#include "cli/session.h"
#include "history/historytime.h"

namespace lianshuo::cli {
namespace {

constexpr const char* kUsageLine =
    "usage: lianshuo history list [--service S] [--since DATE] | export FILE [--service S] "
    "[--since DATE] | forget [--service S] [--before DATE]";

// What --service names: a service's group of keys, an interface's keys, or one whole key.
std::string serviceFilter(const std::string& text) {
    static constexpr const char* kGroups[] = {"custom", "baidu", "weibo", "tinyurl"};
    const int number = parseService(text);
    if (number >= 0) return kGroups[number];
    if (text.find(':') != std::string::npos) return text;
    return "custom:" + text;
}

bool readDate(const std::optional<std::string>& text, const char* option, std::int64_t& moment,
              std::string& error) {
    if (!text) return true;
    const std::optional<std::int64_t> parsed = parseHistoryDate(*text);
    if (!parsed) {
        error = std::string(option) + " takes a date as YYYY-MM-DD or YYYY-MM-DD HH:MM, not '" +
                *text + "'";
        return false;
    }
    moment = *parsed;
    return true;
}

int list(ConversionHistory& history, const HistoryFilter& filter, Console& console) {
    const Status status = history.forEach(filter, [&console](const HistoryEntry& e) {
        print(console.out, e.shortUrl + '\t' + e.longUrl + '\t' + e.service + '\t' +
                               formatHistoryTime(e.created) + '\t' + formatHistoryTime(e.lastUsed) +
                               '\t' + std::to_string(e.uses));
        console.out << '\n';
        // A reader that went away (`| head`) ends the listing.
        return static_cast<bool>(console.out);
    });
    console.out.flush();
    return status.ok() ? kOk : fail(console, status.reason());
}

int exportTo(ConversionHistory& history, const HistoryFilter& filter, const std::string& file,
             Console& console) {
    std::int64_t written = 0;
    const Status status = history.exportCsv(file, filter, &written);
    if (!status.ok()) return fail(console, status.reason(), kConversionFailed);
    console.err << "exported " << written << " conversions to ";
    print(console.err, file);
    console.err << '\n';
    return kOk;
}

int forget(ConversionHistory& history, const HistoryFilter& filter, Console& console) {
    std::int64_t removed = 0;
    const Status status = history.forget(filter, &removed);
    if (!status.ok()) return fail(console, status.reason(), kConversionFailed);
    console.err << "forgot " << removed << " conversions\n";
    return kOk;
}

}  // namespace

int runHistory(const Options& options, Console& console) {
    const std::vector<std::string>& args = options.positional;
    const std::string action = args.empty() ? std::string() : args.front();
    const std::size_t wanted = action == "list" || action == "forget" ? 1
                               : action == "export"                   ? 2
                                                                      : 0;
    if (wanted == 0 || args.size() != wanted) return fail(console, kUsageLine);
    if (action == "forget" && options.since)
        return fail(console, "history forget takes --before, not --since");
    if (action != "forget" && options.before)
        return fail(console, "history " + action + " takes --since, not --before");

    HistoryFilter filter;
    std::string error;
    if (options.service) filter.service = serviceFilter(*options.service);
    if (!readDate(options.since, "--since", filter.usedSince, error) ||
        !readDate(options.before, "--before", filter.usedBefore, error))
        return fail(console, error);

    const std::string path = historyPathFor(options);
    std::error_code ec;
    // Like the settings file, the history is never created by a command that only reads it;
    // a history that is not there holds nothing.
    const bool exists = std::filesystem::exists(nativePath(path), ec);
    ConversionHistory history;
    if (exists) {
        const Status opened = history.open(path);
        if (!history.openWarning().empty())
            console.err << "lianshuo: warning: " << toUtf8(history.openWarning()) << '\n';
        if (!opened.ok()) return fail(console, opened.reason());
    }
    if (action == "list") return list(history, filter, console);
    if (action == "export") return exportTo(history, filter, args[1], console);
    if (!exists) {
        console.err << "forgot 0 conversions\n";
        return kOk;
    }
    return forget(history, filter, console);
}

}  // namespace lianshuo::cli

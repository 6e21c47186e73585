// lianshuo history: list, export and forget the kept conversions.

#include <filesystem>
#include <iostream>
#include <system_error>

#include "base/charset.h"
#include "base/paths.h"
#include "cli/helptext.h"
#include "cli/progressline.h"
#include "cli/session.h"
#include "history/historytime.h"
#include "jobs/linkcheckjob.h"

namespace lianshuo::cli {
namespace {

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
        error = std::string(option) + " 需要 YYYY-MM-DD 或 YYYY-MM-DD HH:MM 形式的日期，而不是“" +
                *text + "”";
        return false;
    }
    moment = *parsed;
    return true;
}

int list(ConversionHistory& history, const HistoryFilter& filter, Console& console) {
    const Status status = history.forEach(filter, [&console](const HistoryEntry& e) {
        // The last check's state closes the line; "-" when the link was never checked.
        const std::string_view state = linkStateName(e.linkState);
        print(console.out, e.shortUrl + '\t' + e.longUrl + '\t' + e.service + '\t' +
                               formatHistoryTime(e.created) + '\t' + formatHistoryTime(e.lastUsed) +
                               '\t' + std::to_string(e.uses) + '\t' +
                               (state.empty() ? std::string("-") : std::string(state)));
        console.out << '\n';
        // A reader that went away (`| head`) ends the listing.
        return static_cast<bool>(console.out);
    });
    console.out.flush();
    return status.ok() ? kOk : fail(console, status.reason());
}

int exportTo(ConversionHistory& history, const HistoryFilter& filter, const std::string& file,
             CsvForm form, Console& console) {
    std::int64_t written = 0;
    const Status status = history.exportCsv(file, filter, &written, form);
    if (!status.ok()) return fail(console, status.reason(), kConversionFailed);
    print(console.err, "已导出 " + std::to_string(written) + " 条历史到 " + file + "\n");
    return kOk;
}

int forget(ConversionHistory& history, const HistoryFilter& filter, Console& console) {
    std::int64_t removed = 0;
    const Status status = history.forget(filter, &removed);
    if (!status.ok()) return fail(console, status.reason(), kConversionFailed);
    print(console.err, "已删除 " + std::to_string(removed) + " 条历史\n");
    return kOk;
}

int check(ConversionHistory& history, const HistoryFilter& filter, const Options& options,
          Console& console) {
    int jobs = 1, retries = 2;
    std::string error;
    if (options.jobs && !readWholeNumber("--jobs", *options.jobs, 1, 32, jobs, error))
        return fail(console, error);
    if (options.retries && !readWholeNumber("--retries", *options.retries, 0, 10, retries, error))
        return fail(console, error);
    std::vector<StoredLink> links;
    if (const Status read = history.forEach(filter,
                                            [&links](const HistoryEntry& e) {
                                                links.push_back({e.id, e.shortUrl, e.longUrl});
                                                return true;
                                            });
        !read.ok())
        return fail(console, read.reason(), kConversionFailed);

    PlainJobLoop loop;
    const StopOnInterrupt stopOnInterrupt(*loop.stopSignal());
    ProgressLine progress(console.err, console.progress);
    LinkCheckJob job(loop, history.isOpen() ? &history : nullptr);
    const int total = static_cast<int>(links.size());
    int counts[4] = {};
    int done = 0, bad = 0;
    LinkCheckJob::Events events;
    events.checked = [&](std::size_t, const StoredLink& link, const LinkCheck& found) {
        ++counts[static_cast<int>(found.state)];
        ++done;
        if (found.state == LinkState::Dead || found.state == LinkState::Elsewhere) ++bad;
        progress.erase();
        print(console.out,
              std::string(linkStateText(found.state)) + '\t' + link.shortUrl + '\t' + link.longUrl);
        console.out << '\n';
        if (found.state != LinkState::Valid)
            console.err << toUtf8(std::string(linkStateText(found.state)) + ": " + link.shortUrl +
                                  ": " + found.reason)
                        << '\n';
        progress.update(done, total, bad, done == total);
        // A reader that went away (`| head`) ends the check.
        if (!console.out) job.stop();
    };
    bool finished = false;
    events.done = [&finished] { finished = true; };
    job.start(std::move(links), jobs, {.retries = retries}, std::move(events));
    loop.runUntil([&finished] { return finished; });
    progress.erase();
    console.out.flush();
    console.err << toUtf8("有效 " + std::to_string(counts[1]) + "，失效 " +
                          std::to_string(counts[2]) + "，指向别处 " + std::to_string(counts[3]) +
                          "，未能验证 " + std::to_string(counts[0]))
                << '\n';
    if (!job.historyStatus().ok()) fail(console, job.historyStatus().reason(), kConversionFailed);
    if (interrupted) return kInterrupted;
    if (!console.out) return kReaderGone;
    return bad > 0 || !job.historyStatus().ok() ? kConversionFailed : kOk;
}

}  // namespace

int runHistory(const Options& options, Console& console) {
    const std::vector<std::string>& args = options.positional;
    const std::string action = args.empty() ? std::string() : args.front();
    const std::size_t wanted = action == "list" || action == "forget" || action == "check" ? 1
                               : action == "export"                                        ? 2
                                                                                           : 0;
    if (wanted == 0 || args.size() != wanted) return fail(console, usageLine("history"));
    if (action == "forget" && options.since)
        return fail(console, "history forget 用 --before，不用 --since");
    if (action != "forget" && action != "check" && options.before)
        return fail(console, "history " + action + " 用 --since，不用 --before");
    if (action != "export" && options.plain) return fail(console, "--plain 只用于 history export");

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
            print(console.err, "lianshuo: 警告：" + history.openWarning() + "\n");
        if (!opened.ok()) return fail(console, opened.reason());
    }
    if (action == "list") return list(history, filter, console);
    if (action == "export")
        return exportTo(history, filter, args[1],
                        options.plain ? CsvForm::Plain : CsvForm::Spreadsheet, console);
    if (action == "check") return check(history, filter, options, console);
    if (!exists) {
        print(console.err, "已删除 0 条历史\n");
        return kOk;
    }
    return forget(history, filter, console);
}

}  // namespace lianshuo::cli

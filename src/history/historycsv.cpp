#include "history/historycsv.h"

#include "base/charset.h"
#include "history/historytime.h"
#include "history/servicename.h"

namespace lianshuo {
namespace {

// One column of the export; a new column goes here and into the orders below.
struct Column {
    const char* title;  // GBK, as the window's header shows it
    const char* plain;  // the plain form's header
    std::string (*field)(const HistoryEntry& entry, CsvForm form);
};

const Column kShort{"短网址", "short", [](const HistoryEntry& e, CsvForm) { return e.shortUrl; }};
const Column kLong{"长网址", "long", [](const HistoryEntry& e, CsvForm) { return e.longUrl; }};
// Scripts filter by the key they pass to --service; a reader knows the service by its name.
const Column kService{"服务", "service", [](const HistoryEntry& e, CsvForm form) {
                          return form == CsvForm::Plain ? e.service : historyServiceName(e.service);
                      }};
const Column kCreated{"生成时间", "created",
                      [](const HistoryEntry& e, CsvForm) { return formatHistoryTime(e.created); }};
const Column kLastUsed{"最后使用", "last used", [](const HistoryEntry& e, CsvForm) {
                           return formatHistoryTime(e.lastUsed);
                       }};
const Column kUses{"次数", "uses",
                   [](const HistoryEntry& e, CsvForm) { return std::to_string(e.uses); }};
const Column kState{"状态", "state", [](const HistoryEntry& e, CsvForm) {
                        return std::string(linkStateName(e.linkState));
                    }};
const Column kTarget{"指向", "target", [](const HistoryEntry& e, CsvForm) { return e.linkTarget; }};
const Column kChecked{"检查时间", "checked", [](const HistoryEntry& e, CsvForm) {
                          return e.checked != 0 ? formatHistoryTime(e.checked) : std::string();
                      }};

// The window's order (what its columns show, then what a check found besides), and the
// order the plain form has always had, the check's columns after it.
const Column* const kWindowOrder[] = {&kShort, &kLong,  &kService, &kCreated, &kLastUsed,
                                      &kUses,  &kState, &kTarget,  &kChecked};
const Column* const kPlainOrder[] = {&kService, &kLong,  &kShort,  &kCreated, &kLastUsed,
                                     &kUses,    &kState, &kTarget, &kChecked};

template <typename Each>
void forColumns(CsvForm form, Each each) {
    if (form == CsvForm::Plain)
        for (const Column* column : kPlainOrder) each(*column);
    else
        for (const Column* column : kWindowOrder) each(*column);
}

// A spreadsheet starts a new row at a line break even inside quotes, unless
// told otherwise; in an address, %0D and %0A mean the same to a browser.
std::string onOneLine(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\r')
            out += "%0D";
        else if (c == '\n')
            out += "%0A";
        else
            out += c;
    }
    return out;
}

}  // namespace

std::string csvField(std::string_view utf8) {
    if (utf8.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(utf8);
    std::string quoted = "\"";
    for (const char c : utf8) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

const std::vector<std::string>& historyColumnTitles() {
    static const std::vector<std::string> titles = [] {
        std::vector<std::string> list;
        forColumns(CsvForm::Spreadsheet, [&list](const Column& c) { list.emplace_back(c.title); });
        return list;
    }();
    return titles;
}

std::string csvHeader(CsvForm form) {
    // The mark tells spreadsheet programs on Chinese systems that the file is UTF-8, not GBK.
    std::string header = form == CsvForm::Plain ? "" : "\xEF\xBB\xBF";
    const char* separator = "";
    forColumns(form, [&](const Column& c) {
        header += separator;
        header += form == CsvForm::Plain ? std::string(c.plain) : toUtf8(c.title);
        separator = ",";
    });
    return header + "\r\n";
}

std::string csvLine(const HistoryEntry& entry, CsvForm form) {
    std::string line;
    const char* separator = "";
    forColumns(form, [&](const Column& c) {
        std::string field = toUtf8(c.field(entry, form));
        if (form == CsvForm::Spreadsheet) field = onOneLine(std::move(field));
        line += separator + csvField(field);
        separator = ",";
    });
    return line + "\r\n";
}

}  // namespace lianshuo

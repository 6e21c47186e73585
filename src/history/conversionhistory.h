#pragma once
// The conversion history: one row per (service key, long address) with the
// short address, when it was made, when it was last used and how often, in
// an SQLite file that the window and command-line runs share. Texts are GBK
// here and UTF-8 in the file. No operation throws; each failure comes back
// as a status with the reason and the file's path.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "history/conversionmemory.h"

namespace lianshuo {

/// One stored conversion.
struct HistoryEntry {
    std::int64_t id = 0;  // grows with every new row: newer rows have larger ids
    // GBK; `service` as shown: a custom interface's key without the fingerprint
    // that follows its name, which only tells the interface's versions apart.
    std::string service, longUrl, shortUrl;
    std::int64_t created = 0, lastUsed = 0;  // seconds since 1970 (UTC)
    std::int64_t uses = 0;                   // the making counts as the first use
    // What the last check of the short address found (see linkStateName); -1 never checked.
    int linkState = -1;
    std::string linkTarget;    // GBK: where it led, when it led off its host
    std::int64_t checked = 0;  // when, seconds since 1970 (UTC); 0 never
};

/// "有效" (1), "失效" (2), "指向别处" (3) or "未能验证" (0) for a stored check state; empty for
/// -1, never checked.
std::string_view linkStateName(int state);

/// One check's findings for a stored conversion.
struct LinkCheckRecord {
    std::int64_t id = 0;
    std::string shortUrl;  // GBK: the address checked
    int state = 0;
    std::string target;  // GBK
    std::int64_t checked = 0;
};

/// Which rows a listing, an export or a forget takes; empty members take all.
struct HistoryFilter {
    /// A whole service key, or its leading part up to a ":" ("custom", "baidu",
    /// "custom:NAME"): that key, or every key that starts with it and a ":".
    std::string service;
    std::int64_t usedSince = 0;   // rows last used at or after this moment
    std::int64_t usedBefore = 0;  // rows last used before this moment (0: no bound)
};

/// The forms of the CSV export: for spreadsheets (a UTF-8 byte-order mark, the
/// window's columns under their Chinese titles, each link on a line of its own)
/// or for scripts (no mark, the English header and column order of earlier versions).
enum class CsvForm { Spreadsheet, Plain };
/// A page query's state that takes every row.
inline constexpr int kAnyLinkState = -2;

/// One step of the newest-first walk the history window makes.
struct HistoryPageQuery {
    std::int64_t below = INT64_MAX;  // rows whose id is under this
    std::string search;              // GBK; rows whose long or short address holds it
    int state = kAnyLinkState;       // rows whose last check found this (-1: never checked)
    int limit = 200;                 // at most this many rows
    std::int64_t span = 20000;       // at most this many ids examined, so one step stays short
};

struct HistoryPage {
    std::vector<HistoryEntry> entries;  // newest first
    std::int64_t next = 0;              // `below` of the next step
    bool finished = false;              // no row is left below `next`
    Status status;
};

class ConversionHistory : public ConversionMemory {
public:
    ConversionHistory();
    ~ConversionHistory() override;
    ConversionHistory(const ConversionHistory&) = delete;
    ConversionHistory& operator=(const ConversionHistory&) = delete;

    /// Opens (creating when missing, with its folder, its owner's alone) the
    /// history at the GBK path. An earlier version's file is adopted or
    /// upgraded; another program's database is put aside (openWarning() says
    /// where) and a new history started. A later version's file, a damaged
    /// one, a locked one or one that cannot be written leaves the history
    /// closed, with the reason.
    Status open(std::string_view path);
    /// What the last open() had to say though it succeeded; empty when nothing.
    const std::string& openWarning() const { return openWarning_; }
    bool isOpen() const;
    /// Writes the pending use counts and closes the file; the status of that write.
    Status close();
    const std::string& path() const { return path_; }

    /// How long a write waits for another program's write (milliseconds).
    void setBusyTimeout(int milliseconds) { busyTimeoutMs_ = milliseconds; }
    /// The clock of `created` and `lastUsed` (tests set it); seconds since 1970.
    void setClock(std::function<std::int64_t()> clock) { clock_ = std::move(clock); }

    HistoryLookup lookup(std::string_view serviceKey, std::string_view longUrl) override;
    Status record(std::string_view serviceKey, std::string_view longUrl,
                  std::string_view shortUrl) override;
    /// The tag under this file's own key, made (a write) when the file has none yet.
    HistoryTag secretTag(std::string_view secret) override;
    /// A row found under `formerKey` is filed under `serviceKey` with the next write of use counts.
    HistoryLookup lookupWithFormer(std::string_view serviceKey, std::string_view formerKey,
                                   std::string_view longUrl) override;

    /// Every kept pair, in no particular order; reads the file once.
    Status forEachKept(const KeptVisit& visit) override;

    /// Writes the use counts that look-ups gathered (they are batched: a hit
    /// must not cost a disk write).
    Status flushUses();

    /// Calls `visit` for each row the filter takes, oldest first, until it returns false.
    Status forEach(const HistoryFilter& filter,
                   const std::function<bool(const HistoryEntry&)>& visit);
    /// The rows the filter takes, oldest first.
    Status list(const HistoryFilter& filter, std::vector<HistoryEntry>& entries);
    /// Writes the rows the filter takes to a UTF-8 CSV file of `form`, replacing
    /// `path` (GBK) only once the whole file is written. `written` counts the rows.
    Status exportCsv(std::string_view path, const HistoryFilter& filter = {},
                     std::int64_t* written = nullptr, CsvForm form = CsvForm::Spreadsheet);
    /// Deletes the rows the filter takes; `removed` counts them.
    Status forget(const HistoryFilter& filter, std::int64_t* removed = nullptr);
    /// Keeps each record's state, target and time with its row, in one transaction; a row
    /// deleted or given a new short address meanwhile is left as it is.
    Status recordChecks(const std::vector<LinkCheckRecord>& records);

    /// Deletes the rows with these ids, in one transaction.
    Status remove(const std::vector<std::int64_t>& ids);

    /// One step of the window's walk (see HistoryPageQuery).
    HistoryPage page(const HistoryPageQuery& query);

private:
    struct Database;
    Status failure(int code, std::string_view doing) const;
    Status connect(bool& foreign);
    Status prepare();
    Status putAside(std::string& aside);
    // The row kept under `key` for `longUtf8`: found (id and short address),
    // not found (id 0), or SQLite's failure code.
    int find(std::string_view key, std::string_view longUtf8, std::int64_t& id,
             std::string& shortUrl);
    std::int64_t now() const;

    std::unique_ptr<Database> db_;
    std::string path_;
    std::string openWarning_;
    int busyTimeoutMs_ = 5000;
    std::function<std::int64_t()> clock_;
};

}  // namespace lianshuo

// The history read and pruned in bulk: listings, the CSV export, forgetting
// and deleting rows, and the window's walk.

#include "base/paths.h"
#include "base/replacementfile.h"
#include "history/conversionhistory.h"
#include "history/historycsv.h"
#include "history/historydatabase.h"

namespace lianshuo {

using namespace historydb;

namespace {

constexpr const char* kColumns =
    "id, service, long_url, short_url, created, last_used, uses, link_state, link_target, checked";

// "%" + the text with LIKE's own characters escaped by "\" + "%".
std::string likePattern(std::string_view utf8) {
    std::string pattern = "%";
    for (const char c : utf8) {
        if (c == '%' || c == '_' || c == '\\') pattern += '\\';
        pattern += c;
    }
    return pattern + "%";
}

// A WHERE clause for a filter, with ?1 service, ?2 since, ?3 before.
std::string whereClause(const HistoryFilter& filter) {
    std::string where = " WHERE 1";
    // ";" follows ":" in byte order: the range holds every key that starts with "S:".
    if (!filter.service.empty())
        where += " AND (service = ?1 OR (service >= ?1 || ':' AND service < ?1 || ';'))";
    if (filter.usedSince != 0) where += " AND last_used >= ?2";
    if (filter.usedBefore != 0) where += " AND last_used < ?3";
    return where;
}

void bindFilter(sqlite::Statement& statement, const HistoryFilter& filter, std::string& buffer) {
    if (!filter.service.empty()) statement.bind(1, utf8Of(filter.service, buffer));
    if (filter.usedSince != 0) statement.bind(2, filter.usedSince);
    if (filter.usedBefore != 0) statement.bind(3, filter.usedBefore);
}

// A service key as shown: "custom:NAME:FINGERPRINT" without its fingerprint,
// which is no use to a reader and, from earlier versions, spells out a token.
std::string shownService(std::string_view key) {
    constexpr std::string_view kCustom = "custom:";
    const std::size_t last = key.rfind(':');
    if (key.substr(0, kCustom.size()) != kCustom || last < kCustom.size()) return std::string(key);
    return std::string(key.substr(0, last));
}

HistoryEntry entryAt(const sqlite::Statement& row) {
    HistoryEntry entry;
    entry.id = row.integer(0);
    entry.service = gbkOf(shownService(row.text(1)));
    entry.longUrl = gbkOf(row.text(2));
    entry.shortUrl = gbkOf(row.text(3));
    entry.created = row.integer(4);
    entry.lastUsed = row.integer(5);
    entry.uses = row.integer(6);
    entry.linkState = row.isNull(7) ? -1 : static_cast<int>(row.integer(7));
    entry.linkTarget = row.isNull(8) ? std::string() : gbkOf(row.text(8));
    entry.checked = row.isNull(9) ? 0 : row.integer(9);
    return entry;
}

}  // namespace

Status ConversionHistory::forEach(const HistoryFilter& filter,
                                  const std::function<bool(const HistoryEntry&)>& visit) {
    if (!db_) return {};
    if (Status flushed = flushUses(); !flushed.ok()) return flushed;
    sqlite::Statement select;
    int code = select.prepare(db_->handle, std::string("SELECT ") + kColumns + " FROM conversions" +
                                               whereClause(filter) + " ORDER BY id");
    if (code != SQLITE_OK) return failure(code, "读取历史");
    std::string buffer;
    bindFilter(select, filter, buffer);
    const sqlite::StatementUse use(select);
    while ((code = select.step()) == SQLITE_ROW)
        if (!visit(entryAt(select))) return {};
    return code == SQLITE_DONE ? Status() : failure(code, "读取历史");
}

Status ConversionHistory::list(const HistoryFilter& filter, std::vector<HistoryEntry>& entries) {
    return forEach(filter, [&entries](const HistoryEntry& entry) {
        entries.push_back(entry);
        return true;
    });
}

Status ConversionHistory::exportCsv(std::string_view path, const HistoryFilter& filter,
                                    std::int64_t* written, CsvForm form) {
    if (written) *written = 0;
    const auto failed = [&path](const std::string& reason) {
        return historyFailure(HistoryFailure::Failed,
                              "无法写入 " + std::string(path) + "：" + reason);
    };
    ReplacementFile file(nativePath(path));
    if (!file.status()) return failed(file.status().reason());
    bool writing = file.write(csvHeader(form)).ok();
    std::int64_t rows = 0;
    const Status status = forEach(filter, [&](const HistoryEntry& entry) {
        writing = file.write(csvLine(entry, form)).ok();
        ++rows;
        return writing;
    });
    if (!status.ok()) return status;
    if (const Status committed = file.commit(); !committed) return failed(committed.reason());
    if (written) *written = rows;
    return {};
}

Status ConversionHistory::forget(const HistoryFilter& filter, std::int64_t* removed) {
    if (removed) *removed = 0;
    if (!db_) return {};
    if (Status flushed = flushUses(); !flushed.ok()) return flushed;
    db_->found.clear();
    sqlite::Statement statement;
    int code = statement.prepare(db_->handle, "DELETE FROM conversions" + whereClause(filter));
    if (code != SQLITE_OK) return failure(code, "删除历史");
    std::string buffer;
    bindFilter(statement, filter, buffer);
    const sqlite::StatementUse use(statement);
    code = statement.step();
    if (code != SQLITE_DONE) return failure(code, "删除历史");
    if (removed) *removed = sqlite3_changes64(db_->handle);
    return {};
}

std::string_view linkStateName(int state) {
    switch (state) {
        case 0:
            return "未能验证";
        case 1:
            return "有效";
        case 2:
            return "失效";
        case 3:
            return "指向别处";
        default:
            return {};
    }
}

Status ConversionHistory::recordChecks(const std::vector<LinkCheckRecord>& records) {
    if (!db_ || records.empty()) return {};
    if (Status flushed = flushUses(); !flushed.ok()) return flushed;
    sqlite::Statement statement;
    int code =
        statement.prepare(db_->handle,
                          "UPDATE conversions SET link_state = ?2, link_target = ?3, checked = ?4"
                          " WHERE id = ?1 AND short_url = ?5");
    if (code == SQLITE_OK) code = db_->execute("BEGIN IMMEDIATE");
    std::string buffer, shortBuffer;
    for (std::size_t i = 0; code == SQLITE_OK && i < records.size(); ++i) {
        const LinkCheckRecord& record = records[i];
        const sqlite::StatementUse use(statement);
        statement.bind(1, record.id);
        statement.bind(2, static_cast<std::int64_t>(record.state));
        if (!record.target.empty()) statement.bind(3, utf8Of(record.target, buffer));
        statement.bind(4, record.checked);
        statement.bind(5, utf8Of(record.shortUrl, shortBuffer));
        code = statement.step() == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db_->handle);
    }
    if (code == SQLITE_OK) code = db_->execute("COMMIT");
    if (code == SQLITE_OK) return {};
    Status status = failure(code, "记录检查结果");
    if (sqlite3_get_autocommit(db_->handle) == 0) db_->execute("ROLLBACK");
    return status;
}

Status ConversionHistory::remove(const std::vector<std::int64_t>& ids) {
    if (!db_ || ids.empty()) return {};
    if (Status flushed = flushUses(); !flushed.ok()) return flushed;
    db_->found.clear();
    sqlite::Statement statement;
    int code = statement.prepare(db_->handle, "DELETE FROM conversions WHERE id = ?1");
    if (code == SQLITE_OK) code = db_->execute("BEGIN IMMEDIATE");
    for (std::size_t i = 0; code == SQLITE_OK && i < ids.size(); ++i) {
        const sqlite::StatementUse use(statement);
        statement.bind(1, ids[i]);
        code = statement.step() == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db_->handle);
    }
    if (code == SQLITE_OK) code = db_->execute("COMMIT");
    if (code == SQLITE_OK) return {};
    Status status = failure(code, "删除历史");
    db_->execute("ROLLBACK");
    return status;
}

HistoryPage ConversionHistory::page(const HistoryPageQuery& query) {
    HistoryPage page;
    page.finished = true;
    if (!db_) return page;
    Database& db = *db_;
    std::int64_t newest = 0, oldest = 0;
    {
        const sqlite::StatementUse use(db.bounds);
        if (const int code = db.bounds.step(); code != SQLITE_ROW) {
            page.status = failure(code, "读取历史");
            return page;
        }
        if (db.bounds.isNull(0)) return page;
        newest = db.bounds.integer(0);
        oldest = db.bounds.integer(1);
    }
    const std::int64_t below = std::min(query.below, newest + 1);
    const std::int64_t lowest = below - std::max<std::int64_t>(query.span, 1);
    sqlite::Statement select;
    std::string sql =
        std::string("SELECT ") + kColumns + " FROM conversions WHERE id < ?1 AND id >= ?2";
    if (!query.search.empty())
        sql += " AND (long_url LIKE ?3 ESCAPE '\\' OR short_url LIKE ?3 ESCAPE '\\')";
    // An unbound ?5 is NULL, which IS matches in the rows never checked.
    if (query.state != kAnyLinkState) sql += " AND link_state IS ?5";
    sql += " ORDER BY id DESC LIMIT ?4";
    int code = select.prepare(db.handle, sql);
    if (code != SQLITE_OK) {
        page.status = failure(code, "读取历史");
        return page;
    }
    std::string buffer;
    const std::string pattern = likePattern(utf8Of(query.search, buffer));
    const sqlite::StatementUse use(select);
    select.bind(1, below);
    select.bind(2, lowest);
    if (!query.search.empty()) select.bind(3, pattern);
    select.bind(4, static_cast<std::int64_t>(std::max(query.limit, 1)));
    if (query.state >= 0) select.bind(5, static_cast<std::int64_t>(query.state));
    while ((code = select.step()) == SQLITE_ROW) page.entries.push_back(entryAt(select));
    if (code != SQLITE_DONE) {
        page.status = failure(code, "读取历史");
        page.entries.clear();
        return page;
    }
    const bool full = static_cast<int>(page.entries.size()) >= query.limit;
    page.next = full ? page.entries.back().id : lowest;
    page.finished = page.next <= oldest;
    return page;
}

}  // namespace lianshuo

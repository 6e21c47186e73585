#include "history/conversionhistory.h"

#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>
#include <unordered_map>

#include "app/base/charset.h"
#include "app/base/helpers.h"
#include "app/base/messages.h"
#include "app/base/paths.h"
#include "history/historycsv.h"
#include "history/sqlitestatement.h"

namespace lianshuo {
namespace {

constexpr int kSchemaVersion = 1;
// Use counts wait in memory until this many rows or seconds have gathered: a
// re-run over a site touches the same rows again and again, and one write of
// each every few seconds is all it needs.
constexpr std::size_t kPendingUsesLimit = 20000;
constexpr std::int64_t kPendingUsesSeconds = 2;
// Addresses found once are remembered up to this many, then forgotten all at once.
constexpr std::size_t kFoundLimit = 100000;
// How often a look-up asks whether another connection wrote: the question
// takes the file's locks, which would cost more than the look-up it guards.
constexpr auto kOtherWritersCheck = std::chrono::milliseconds(100);

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS conversions ("
    " id INTEGER PRIMARY KEY,"
    " service TEXT NOT NULL,"
    " long_url TEXT NOT NULL,"
    " short_url TEXT NOT NULL,"
    " created INTEGER NOT NULL,"
    " last_used INTEGER NOT NULL,"
    " uses INTEGER NOT NULL DEFAULT 1,"
    " UNIQUE (service, long_url));";

constexpr const char* kColumns = "id, service, long_url, short_url, created, last_used, uses";

bool isAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// The UTF-8 form of a GBK text; addresses are nearly always ASCII and need no conversion.
std::string_view utf8Of(std::string_view gbk, std::string& buffer) {
    if (isAscii(gbk)) return gbk;
    buffer = toUtf8(gbk);
    return buffer;
}

std::string gbkOf(std::string_view utf8) {
    return isAscii(utf8) ? std::string(utf8) : fromUtf8(utf8);
}

// "%" + the text with LIKE's own characters escaped by "\" + "%".
std::string likePattern(std::string_view utf8) {
    std::string pattern = "%";
    for (const char c : utf8) {
        if (c == '%' || c == '_' || c == '\\') pattern += '\\';
        pattern += c;
    }
    return pattern + "%";
}

// How long a write has waited for another program's lock.
struct BusyWait {
    int timeoutMs = 5000;
    std::chrono::steady_clock::time_point since;
};

// Waits for another program's write in short sleeps, keeping the window
// alive, until the history's busy time-out has passed.
int waitWhileBusy(void* context, int attempt) {
    auto* wait = static_cast<BusyWait*>(context);
    const auto now = std::chrono::steady_clock::now();
    if (attempt == 0) wait->since = now;
    const long long waited =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - wait->since).count();
    if (waited >= wait->timeoutMs) return 0;
    const long long pause = std::min<long long>(attempt < 10 ? 1 : 5, wait->timeoutMs - waited);
    std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    processPendingMessages();
    return 1;
}

class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
};

}  // namespace

struct ConversionHistory::Database {
    sqlite3* handle = nullptr;
    sqlite::Statement lookup, record, addUses, bounds;
    std::unordered_map<std::int64_t, std::int64_t> pendingUses;  // id -> uses not yet written
    std::int64_t pendingLastUsed = 0, pendingSince = 0;
    std::string keyGbk, keyUtf8;  // the last service key, converted once
    BusyWait busy;
    // Addresses found before, by service key and long address (UTF-8), so that
    // a re-run over a site asks the file only once per address; dropped as
    // soon as another connection has written to the file.
    struct Found {
        std::int64_t id;
        std::string shortUrl;  // GBK
    };
    std::unordered_map<std::string, Found> found;
    sqlite::Statement dataVersion;
    std::int64_t seenVersion = -1;
    std::chrono::steady_clock::time_point versionCheckedAt;

    ~Database() {
        // The statements are finalised before the connection closes.
        for (sqlite::Statement* statement : {&lookup, &record, &addUses, &bounds, &dataVersion})
            statement->finalize();
        sqlite3_close_v2(handle);
    }

    int execute(const char* sql) { return sqlite3_exec(handle, sql, nullptr, nullptr, nullptr); }

    // Forgets what was found when another connection has committed since the
    // last check; checks at most every kOtherWritersCheck.
    int checkOtherWriters() {
        const auto moment = std::chrono::steady_clock::now();
        if (seenVersion >= 0 && moment - versionCheckedAt < kOtherWritersCheck) return SQLITE_OK;
        versionCheckedAt = moment;
        const sqlite::StatementUse use(dataVersion);
        const int code = dataVersion.step();
        if (code != SQLITE_ROW) return code;
        if (const std::int64_t version = dataVersion.integer(0); version != seenVersion) {
            found.clear();
            seenVersion = version;
        }
        return SQLITE_OK;
    }

    void noteUse(std::int64_t id, std::int64_t moment) {
        if (pendingUses.empty()) pendingSince = moment;
        ++pendingUses[id];
        pendingLastUsed = std::max(pendingLastUsed, moment);
    }

    static std::string foundKey(std::string_view key, std::string_view longUtf8) {
        std::string text;
        text.reserve(key.size() + longUtf8.size() + 1);
        text.append(key).append(1, '\n').append(longUtf8);
        return text;
    }

    std::string_view key(std::string_view gbk) {
        if (gbk != keyGbk) {
            keyGbk = gbk;
            keyUtf8 = isAscii(gbk) ? keyGbk : toUtf8(gbk);
        }
        return keyUtf8;
    }
};

namespace {

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

HistoryEntry entryAt(const sqlite::Statement& row) {
    HistoryEntry entry;
    entry.id = row.integer(0);
    entry.service = gbkOf(row.text(1));
    entry.longUrl = gbkOf(row.text(2));
    entry.shortUrl = gbkOf(row.text(3));
    entry.created = row.integer(4);
    entry.lastUsed = row.integer(5);
    entry.uses = row.integer(6);
    return entry;
}

HistoryStatus refusedWhileWaiting(const std::string& path) {
    return {HistoryStatus::Kind::Busy, "历史文件正在等待其他程序，稍后再试：" + path};
}

}  // namespace

ConversionHistory::ConversionHistory() = default;

ConversionHistory::~ConversionHistory() {
    // A destructor has no one to tell: close() is where a caller learns of a failed write.
    flushUses();
}

bool ConversionHistory::isOpen() const {
    return db_ != nullptr;
}

std::int64_t ConversionHistory::now() const {
    return clock_ ? clock_() : static_cast<std::int64_t>(std::time(nullptr));
}

HistoryStatus ConversionHistory::failure(int code, std::string_view doing) const {
    using Kind = HistoryStatus::Kind;
    Kind kind = Kind::Failed;
    std::string what = "历史文件出错";
    switch (code & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            kind = Kind::Busy;
            what = "历史文件被其他程序锁定过久";
            break;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            kind = Kind::Corrupt;
            what = "历史文件已损坏或不是历史文件";
            break;
        case SQLITE_READONLY:
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
            kind = Kind::ReadOnly;
            what = "历史文件无法打开或写入";
            break;
        case SQLITE_FULL:
            kind = Kind::Full;
            what = "磁盘已满，历史无法写入";
            break;
        default:
            break;
    }
    std::string detail = sqlite3_errstr(code);
    if (db_ && db_->handle) {
        detail = sqlite3_errmsg(db_->handle);
        const int primary = code & 0xFF;
        const bool system = primary == SQLITE_CANTOPEN || primary == SQLITE_IOERR ||
                            primary == SQLITE_READONLY || primary == SQLITE_FULL;
        if (const int error = sqlite3_system_errno(db_->handle); system && error != 0)
            detail += std::string("，") + std::strerror(error);
    }
    return {kind, std::string(doing) + "：" + what + "（" + fromUtf8(detail) + "）：" + path_};
}

HistoryStatus ConversionHistory::open(std::string_view path) {
    close();
    path_ = path;
    createDirectoryPath(path_);
    db_ = std::make_unique<Database>();
    db_->busy.timeoutMs = busyTimeoutMs_;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    int code = sqlite3_open_v2(nativePath(path_).c_str(), &db_->handle, flags, nullptr);
    if (code == SQLITE_OK) {
        sqlite3_extended_result_codes(db_->handle, 1);
        sqlite3_busy_handler(db_->handle, waitWhileBusy, &db_->busy);
        // Opened read-only without a word when the file is write-protected.
        if (sqlite3_db_readonly(db_->handle, "main") == 1) code = SQLITE_READONLY;
    }
    HistoryStatus status = code == SQLITE_OK ? prepare() : failure(code, "打开历史");
    if (!status.ok()) db_.reset();
    return status;
}

HistoryStatus ConversionHistory::prepare() {
    Database& db = *db_;
    // WAL: readers never wait for the writer, and a commit needs no sync of the
    // whole file. NORMAL keeps every commit through a killed process; only a
    // power cut may lose the last ones.
    for (const char* pragma :
         {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL", "PRAGMA cache_size=-16384"}) {
        if (const int code = db.execute(pragma); code != SQLITE_OK)
            return failure(code, "打开历史");
    }
    std::int64_t version = 0;
    {
        sqlite::Statement read;
        int code = read.prepare(db.handle, "PRAGMA user_version");
        if (code == SQLITE_OK) code = read.step();
        if (code != SQLITE_ROW) return failure(code, "打开历史");
        version = read.integer(0);
    }
    if (version > kSchemaVersion)
        return {HistoryStatus::Kind::Failed, "打开历史：历史文件由更新的版本写成：" + path_};
    int code = SQLITE_OK;
    // Only a new file is written to on opening: an open must not wait for another program's write.
    if (version == 0) {
        code = db.execute("BEGIN IMMEDIATE");
        if (code == SQLITE_OK) code = db.execute(kSchema);
        if (code == SQLITE_OK) code = db.execute("PRAGMA user_version=1");
        if (code == SQLITE_OK) code = db.execute("COMMIT");
        if (code != SQLITE_OK) {
            HistoryStatus status = failure(code, "打开历史");
            db.execute("ROLLBACK");
            return status;
        }
    }
    if (code == SQLITE_OK)
        code = db.lookup.prepare(
            db.handle,
            "SELECT id, short_url FROM conversions WHERE service = ?1 AND long_url = ?2");
    if (code == SQLITE_OK)
        code = db.record.prepare(
            db.handle,
            "INSERT INTO conversions (service, long_url, short_url, created, last_used, uses)"
            " VALUES (?1, ?2, ?3, ?4, ?4, 1)"
            " ON CONFLICT (service, long_url) DO UPDATE SET"
            // The same short address again keeps its age and counts one more use.
            " created = CASE WHEN short_url = excluded.short_url THEN created ELSE"
            " excluded.created END,"
            " uses = CASE WHEN short_url = excluded.short_url THEN uses + 1 ELSE 1 END,"
            " short_url = excluded.short_url, last_used = excluded.last_used");
    if (code == SQLITE_OK)
        code = db.addUses.prepare(db.handle,
                                  "UPDATE conversions SET uses = uses + ?2,"
                                  " last_used = max(last_used, ?3) WHERE id = ?1");
    if (code == SQLITE_OK) code = db.dataVersion.prepare(db.handle, "PRAGMA data_version");
    if (code == SQLITE_OK)
        code = db.bounds.prepare(
            db.handle,
            "SELECT (SELECT max(id) FROM conversions), (SELECT min(id) FROM conversions)");
    return code == SQLITE_OK ? HistoryStatus{} : failure(code, "打开历史");
}

void ConversionHistory::close() {
    flushUses();
    db_.reset();
}

HistoryLookup ConversionHistory::lookup(std::string_view serviceKey, std::string_view longUrl) {
    HistoryLookup result;
    if (!db_) return result;
    if (inCall_) {
        result.status = refusedWhileWaiting(path_);
        return result;
    }
    Database& db = *db_;
    {
        const FlagScope scope(inCall_);
        std::string buffer;
        const std::string_view key = db.key(serviceKey);
        const std::string_view longUtf8 = utf8Of(longUrl, buffer);
        if (const int code = db.checkOtherWriters(); code != SQLITE_OK) {
            result.status = failure(code, "查找历史");
            return result;
        }
        std::string foundKey = Database::foundKey(key, longUtf8);
        if (const auto known = db.found.find(foundKey); known != db.found.end()) {
            result.shortUrl = known->second.shortUrl;
            db.noteUse(known->second.id, now());
        } else {
            const sqlite::StatementUse use(db.lookup);
            db.lookup.bind(1, key);
            db.lookup.bind(2, longUtf8);
            const int code = db.lookup.step();
            if (code == SQLITE_ROW) {
                result.shortUrl = gbkOf(db.lookup.text(1));
                db.noteUse(db.lookup.integer(0), now());
                if (db.found.size() >= kFoundLimit) db.found.clear();
                db.found.emplace(std::move(foundKey),
                                 Database::Found{db.lookup.integer(0), *result.shortUrl});
            } else if (code != SQLITE_DONE) {
                result.status = failure(code, "查找历史");
                return result;
            }
        }
    }
    if (db.pendingUses.size() >= kPendingUsesLimit ||
        (!db.pendingUses.empty() && now() - db.pendingSince >= kPendingUsesSeconds))
        result.status = flushUses();
    return result;
}

HistoryStatus ConversionHistory::record(std::string_view serviceKey, std::string_view longUrl,
                                        std::string_view shortUrl) {
    if (!db_) return {};
    if (inCall_) return refusedWhileWaiting(path_);
    if (HistoryStatus flushed = flushUses(); !flushed.ok()) return flushed;
    const FlagScope scope(inCall_);
    Database& db = *db_;
    std::string longBuffer, shortBuffer;
    const sqlite::StatementUse use(db.record);
    const std::string_view key = db.key(serviceKey);
    const std::string_view longUtf8 = utf8Of(longUrl, longBuffer);
    db.found.erase(Database::foundKey(key, longUtf8));
    db.record.bind(1, key);
    db.record.bind(2, longUtf8);
    db.record.bind(3, utf8Of(shortUrl, shortBuffer));
    db.record.bind(4, now());
    // One statement is one transaction: the row is on disk (in the WAL) when it returns.
    const int code = db.record.step();
    return code == SQLITE_DONE ? HistoryStatus{} : failure(code, "写入历史");
}

HistoryStatus ConversionHistory::flushUses() {
    if (!db_ || db_->pendingUses.empty()) return {};
    if (inCall_) return refusedWhileWaiting(path_);
    const FlagScope scope(inCall_);
    Database& db = *db_;
    int code = db.execute("BEGIN IMMEDIATE");
    for (auto it = db.pendingUses.begin(); code == SQLITE_OK && it != db.pendingUses.end(); ++it) {
        const sqlite::StatementUse use(db.addUses);
        db.addUses.bind(1, it->first);
        db.addUses.bind(2, it->second);
        db.addUses.bind(3, db.pendingLastUsed);
        code = db.addUses.step() == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db.handle);
    }
    if (code == SQLITE_OK) code = db.execute("COMMIT");
    if (code != SQLITE_OK) {
        HistoryStatus status = failure(code, "写入使用次数");
        db.execute("ROLLBACK");
        return status;
    }
    db.pendingUses.clear();
    db.pendingLastUsed = 0;
    return {};
}

HistoryStatus ConversionHistory::forEach(const HistoryFilter& filter,
                                         const std::function<bool(const HistoryEntry&)>& visit) {
    if (!db_) return {};
    if (HistoryStatus flushed = flushUses(); !flushed.ok()) return flushed;
    if (inCall_) return refusedWhileWaiting(path_);
    const FlagScope scope(inCall_);
    sqlite::Statement select;
    int code = select.prepare(db_->handle, std::string("SELECT ") + kColumns + " FROM conversions" +
                                               whereClause(filter) + " ORDER BY id");
    if (code != SQLITE_OK) return failure(code, "读取历史");
    std::string buffer;
    bindFilter(select, filter, buffer);
    const sqlite::StatementUse use(select);
    while ((code = select.step()) == SQLITE_ROW)
        if (!visit(entryAt(select))) return {};
    return code == SQLITE_DONE ? HistoryStatus{} : failure(code, "读取历史");
}

HistoryStatus ConversionHistory::list(const HistoryFilter& filter,
                                      std::vector<HistoryEntry>& entries) {
    return forEach(filter, [&entries](const HistoryEntry& entry) {
        entries.push_back(entry);
        return true;
    });
}

HistoryStatus ConversionHistory::exportCsv(std::string_view path, const HistoryFilter& filter,
                                           std::int64_t* written) {
    if (written) *written = 0;
    const auto failed = [&path](const std::string& reason) {
        return HistoryStatus{HistoryStatus::Kind::Failed,
                             "无法写入 " + std::string(path) + "：" + reason};
    };
    AtomicFile file;
    if (std::string error = file.create(nativePath(path).string()); !error.empty())
        return failed(error);
    bool writing = file.append(csvHeader());
    std::int64_t rows = 0;
    const HistoryStatus status = forEach(filter, [&](const HistoryEntry& entry) {
        writing = file.append(csvLine(entry));
        ++rows;
        return writing;
    });
    if (!status.ok()) return status;
    if (std::string error = file.commit(); !error.empty()) return failed(error);
    if (written) *written = rows;
    return {};
}

HistoryStatus ConversionHistory::forget(const HistoryFilter& filter, std::int64_t* removed) {
    if (removed) *removed = 0;
    if (!db_) return {};
    if (HistoryStatus flushed = flushUses(); !flushed.ok()) return flushed;
    if (inCall_) return refusedWhileWaiting(path_);
    const FlagScope scope(inCall_);
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

HistoryStatus ConversionHistory::remove(const std::vector<std::int64_t>& ids) {
    if (!db_ || ids.empty()) return {};
    if (HistoryStatus flushed = flushUses(); !flushed.ok()) return flushed;
    if (inCall_) return refusedWhileWaiting(path_);
    const FlagScope scope(inCall_);
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
    HistoryStatus status = failure(code, "删除历史");
    db_->execute("ROLLBACK");
    return status;
}

HistoryPage ConversionHistory::page(const HistoryPageQuery& query) {
    HistoryPage page;
    page.finished = true;
    if (!db_) return page;
    if (inCall_) {
        page.status = refusedWhileWaiting(path_);
        return page;
    }
    const FlagScope scope(inCall_);
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

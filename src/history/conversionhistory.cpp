#include "history/conversionhistory.h"

#include <algorithm>
#include <ctime>
#include <thread>

#include "app/base/helpers.h"
#include "app/base/messages.h"
#include "app/base/paths.h"
#include "app/base/platform.h"
#include "history/historydatabase.h"

namespace lianshuo {

using namespace historydb;

namespace {

constexpr int kSchemaVersion = 1;
// Use counts wait in memory until this many rows or seconds have gathered: a
// re-run over a site touches the same rows again and again, and one write of
// each every few seconds is all it needs.
constexpr std::size_t kPendingUsesLimit = 20000;
constexpr std::int64_t kPendingUsesSeconds = 2;

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

}  // namespace

namespace historydb {

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

}  // namespace historydb

namespace {

// Runs `attempt` again while SQLite answers "busy" without waiting itself, as
// it does where waiting could deadlock: two programs turning a new file to WAL.
template <typename Attempt>
int retryWhileBusy(BusyWait& wait, const Attempt& attempt) {
    int code = attempt();
    for (int n = 0; (code & 0xFF) == SQLITE_BUSY && waitWhileBusy(&wait, n); ++n) code = attempt();
    return code;
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
    std::string detail = fromUtf8(sqlite3_errstr(code));
    if (db_ && db_->handle) {
        detail = fromUtf8(sqlite3_errmsg(db_->handle));
        const int primary = code & 0xFF;
        const bool system = primary == SQLITE_CANTOPEN || primary == SQLITE_IOERR ||
                            primary == SQLITE_READONLY || primary == SQLITE_FULL;
        if (const int error = sqlite3_system_errno(db_->handle); system && error != 0)
            detail += "，" + platform::errorText(error);
    }
    return {kind, std::string(doing) + "：" + what + "（" + detail + "）：" + path_};
}

HistoryStatus ConversionHistory::open(std::string_view path) {
    close();
    path_ = path;
    createDirectoryPath(path_);
    db_ = std::make_unique<Database>();
    db_->busy.timeoutMs = busyTimeoutMs_;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    // SQLite takes UTF-8 file names everywhere, Windows included.
    const std::u8string name = nativePath(path_).u8string();
    int code =
        sqlite3_open_v2(reinterpret_cast<const char*>(name.c_str()), &db_->handle, flags, nullptr);
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
        if (const int code = retryWhileBusy(db.busy, [&db, pragma] { return db.execute(pragma); });
            code != SQLITE_OK)
            return failure(code, "打开历史");
    }
    std::int64_t version = 0;
    int code = retryWhileBusy(db.busy, [&db, &version] {
        sqlite::Statement read;
        const int prepared = read.prepare(db.handle, "PRAGMA user_version");
        if (prepared != SQLITE_OK) return prepared;
        const int stepped = read.step();
        version = read.integer(0);
        return stepped == SQLITE_ROW ? SQLITE_OK : stepped;
    });
    if (code != SQLITE_OK) return failure(code, "打开历史");
    if (version > kSchemaVersion)
        return {HistoryStatus::Kind::Failed, "打开历史：历史文件由更新的版本写成：" + path_};
    // Only a new file is written to on opening: an open must not wait for another program's write.
    if (version == 0) {
        code = retryWhileBusy(db.busy, [&db] {
            int step = db.execute("BEGIN IMMEDIATE");
            if (step == SQLITE_OK) step = db.execute(kSchema);
            if (step == SQLITE_OK) step = db.execute("PRAGMA user_version=1");
            if (step == SQLITE_OK) step = db.execute("COMMIT");
            if (step != SQLITE_OK && sqlite3_get_autocommit(db.handle) == 0) db.execute("ROLLBACK");
            return step;
        });
        if (code != SQLITE_OK) return failure(code, "打开历史");
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

HistoryStatus ConversionHistory::close() {
    HistoryStatus status = flushUses();
    db_.reset();
    return status;
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

}  // namespace lianshuo

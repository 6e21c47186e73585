#include "history/conversionhistory.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <optional>
#include <system_error>
#include <thread>

#include "base/helpers.h"
#include "base/paths.h"
#include "base/platform.h"
#include "base/sha256.h"
#include "history/historydatabase.h"

namespace lianshuo {

using namespace historydb;

namespace {

// Use counts wait in memory until this many rows or seconds have gathered: a
// re-run over a site touches the same rows again and again, and one write of
// each every few seconds is all it needs.
constexpr std::size_t kPendingUsesLimit = 20000;
constexpr std::int64_t kPendingUsesSeconds = 2;

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
    (void)flushUses();
}

bool ConversionHistory::isOpen() const {
    return db_ != nullptr;
}

std::int64_t ConversionHistory::now() const {
    return clock_ ? clock_() : static_cast<std::int64_t>(std::time(nullptr));
}

Status ConversionHistory::failure(int code, std::string_view doing) const {
    using Kind = HistoryFailure;
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
    // The connection's own message only when it is about this failure, never "not an error".
    if (db_ && db_->handle && sqlite3_errcode(db_->handle) != SQLITE_OK) {
        detail = fromUtf8(sqlite3_errmsg(db_->handle));
        const int primary = code & 0xFF;
        const bool system = primary == SQLITE_CANTOPEN || primary == SQLITE_IOERR ||
                            primary == SQLITE_READONLY || primary == SQLITE_FULL;
        if (const int error = sqlite3_system_errno(db_->handle); system && error != 0)
            detail += "，" + platform::errorText(error);
    }
    return historyFailure(kind, std::string(doing) + "：" + what + "（" + detail + "）：" + path_);
}

Status ConversionHistory::open(std::string_view path) {
    (void)close();  // the history left behind has had its say when it was used
    openWarning_.clear();
    path_ = path;
    if (const Status folder = createDirectoryPath(path_); !folder)
        return historyFailure(HistoryFailure::ReadOnly, "打开历史：历史文件无法打开或写入（" +
                                                            folder.reason() + "）：" + path_);
    bool foreign = false;
    Status status = connect(foreign);
    if (foreign) {
        // Closed without a checkpoint: nothing the connection read reaches the file.
        db_.reset();
        std::string aside;
        status = putAside(aside);
        if (status.ok()) {
            openWarning_ = "打开历史：历史文件属于其他程序或无法识别，已改名为 " + aside +
                           "，另建新的历史：" + path_;
            status = connect(foreign);
            if (foreign)
                status =
                    historyFailure(HistoryFailure::Failed, "打开历史：历史文件无法识别：" + path_);
        }
    }
    if (!status.ok()) db_.reset();
    return status;
}

Status ConversionHistory::connect(bool& foreign) {
    foreign = false;
    // Made before SQLite makes it, so that the file, and the -wal and -shm that
    // take its mode, are the owner's alone; an existing file keeps its mode.
    (void)platform::createNewFile(nativePath(path_));
    db_ = std::make_unique<Database>();
    Database& db = *db_;
    db.busy.timeoutMs = busyTimeoutMs_;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    // SQLite takes UTF-8 file names everywhere, Windows included.
    const std::u8string name = nativePath(path_).u8string();
    int code =
        sqlite3_open_v2(reinterpret_cast<const char*>(name.c_str()), &db.handle, flags, nullptr);
    if (code != SQLITE_OK) return failure(code, "打开历史");
    sqlite3_extended_result_codes(db.handle, 1);
    sqlite3_busy_timeout(db.handle, busyTimeoutMs_);
    // Until the file is known to be a history, closing must not write what
    // the connection read (another database's WAL) into it.
    sqlite3_db_config(db.handle, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    // Opened read-only without a word when the file is write-protected.
    if (sqlite3_db_readonly(db.handle, "main") == 1)
        return historyFailure(HistoryFailure::ReadOnly, "打开历史：历史文件是只读的：" + path_);

    Verdict verdict = Verdict::Current;
    code = retryWhileBusy(db.busy, [&db, &verdict] { return judgeFile(db.handle, verdict); });
    const auto judged = [this, &foreign](Verdict v) -> std::optional<Status> {
        if (v == Verdict::Foreign) {
            foreign = true;
            return Status();
        }
        if (v == Verdict::Newer)
            return historyFailure(
                HistoryFailure::Failed,
                "打开历史：历史文件由更新的版本写成，本版本不能使用，文件未改动：" + path_);
        return std::nullopt;
    };
    if (code != SQLITE_OK) return failure(code, "打开历史");
    if (std::optional<Status> settled = judged(verdict)) return *settled;

    // WAL: readers never wait for the writer, and a commit needs no sync of the
    // whole file. NORMAL keeps every commit through a killed process; only a
    // power cut may lose the last ones.
    for (const char* pragma :
         {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL", "PRAGMA cache_size=-16384"}) {
        code = retryWhileBusy(db.busy, [&db, pragma] { return db.execute(pragma); });
        if (code != SQLITE_OK) return failure(code, "打开历史");
    }
    // Only a file that needs it is written to on opening: an open must not
    // wait for another program's write. Judged again under the write lock:
    // another program may have made the same file a history meanwhile.
    if (verdict != Verdict::Current) {
        code = retryWhileBusy(db.busy, [&db, &verdict] {
            int step = db.execute("BEGIN IMMEDIATE");
            if (step == SQLITE_OK) step = judgeFile(db.handle, verdict);
            if (step == SQLITE_OK &&
                (verdict == Verdict::New || verdict == Verdict::Adopt || verdict == Verdict::Older))
                step = settleFile(db.handle, verdict);
            if (step == SQLITE_OK) step = db.execute("COMMIT");
            if (step != SQLITE_OK && sqlite3_get_autocommit(db.handle) == 0) db.execute("ROLLBACK");
            return step;
        });
        if (code != SQLITE_OK) return failure(code, "打开历史");
        if (std::optional<Status> settled = judged(verdict)) return *settled;
    }
    sqlite3_db_config(db.handle, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
    code = readTagKey(db.handle, db.tagKey);
    if (code != SQLITE_OK) return failure(code, "打开历史");
    return prepare();
}

Status ConversionHistory::putAside(std::string& aside) {
    const std::string stamp = path_ + ".broken-" + formatDateTime(-1, "#1#2#3-#4#5#6");
    aside = stamp;
    std::error_code ec;
    for (int n = 2; std::filesystem::exists(nativePath(aside), ec) && n < 100; ++n)
        aside = stamp + "-" + std::to_string(n);
    for (const char* part : {"", "-wal", "-shm"}) {
        const std::filesystem::path from = nativePath(path_ + part);
        if (*part != '\0' && !std::filesystem::exists(from, ec)) continue;
        if (const Status moved = platform::renameOver(from, nativePath(aside + part)); !moved)
            return historyFailure(
                HistoryFailure::Failed,
                "打开历史：无法把不是历史的文件改名（" + moved.reason() + "）：" + path_ + part);
    }
    return {};
}

Status ConversionHistory::prepare() {
    Database& db = *db_;
    int code = db.lookup.prepare(
        db.handle, "SELECT id, short_url FROM conversions WHERE service = ?1 AND long_url = ?2");
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
            // A new short address has not been checked yet.
            " link_state = CASE WHEN short_url = excluded.short_url THEN link_state END,"
            " link_target = CASE WHEN short_url = excluded.short_url THEN link_target END,"
            " checked = CASE WHEN short_url = excluded.short_url THEN checked END,"
            " short_url = excluded.short_url, last_used = excluded.last_used");
    if (code == SQLITE_OK)
        code = db.addUses.prepare(db.handle,
                                  "UPDATE conversions SET uses = uses + ?2,"
                                  " last_used = max(last_used, ?3) WHERE id = ?1");
    // A row already kept under today's key wins; the earlier one stays as it is.
    if (code == SQLITE_OK)
        code = db.refile.prepare(db.handle,
                                 "UPDATE OR IGNORE conversions SET service = ?2 WHERE id = ?1");
    if (code == SQLITE_OK) code = db.dataVersion.prepare(db.handle, "PRAGMA data_version");
    if (code == SQLITE_OK)
        code = db.bounds.prepare(
            db.handle,
            "SELECT (SELECT max(id) FROM conversions), (SELECT min(id) FROM conversions)");
    return code == SQLITE_OK ? Status() : failure(code, "打开历史");
}

Status ConversionHistory::close() {
    Status status = flushUses();
    db_.reset();
    return status;
}

HistoryLookup ConversionHistory::lookup(std::string_view serviceKey, std::string_view longUrl) {
    return lookupWithFormer(serviceKey, {}, longUrl);
}

int ConversionHistory::find(std::string_view key, std::string_view longUtf8, std::int64_t& id,
                            std::string& shortUrl) {
    Database& db = *db_;
    const sqlite::StatementUse use(db.lookup);
    db.lookup.bind(1, key);
    db.lookup.bind(2, longUtf8);
    const int code = db.lookup.step();
    id = 0;
    if (code != SQLITE_ROW) return code == SQLITE_DONE ? SQLITE_OK : code;
    id = db.lookup.integer(0);
    shortUrl = gbkOf(db.lookup.text(1));
    return SQLITE_OK;
}

HistoryLookup ConversionHistory::lookupWithFormer(std::string_view serviceKey,
                                                  std::string_view formerKey,
                                                  std::string_view longUrl) {
    HistoryLookup result;
    if (!db_) return result;
    Database& db = *db_;
    {
        std::string buffer, formerBuffer;
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
            std::int64_t id = 0;
            std::string shortUrl;
            int code = find(key, longUtf8, id, shortUrl);
            if (code == SQLITE_OK && id == 0 && !formerKey.empty()) {
                code = find(utf8Of(formerKey, formerBuffer), longUtf8, id, shortUrl);
                // Filed under today's key with the next write of use counts.
                if (code == SQLITE_OK && id != 0) db.pendingRefiles[id] = std::string(key);
            }
            if (code != SQLITE_OK) {
                result.status = failure(code, "查找历史");
                return result;
            }
            if (id != 0) {
                db.noteUse(id, now());
                if (db.found.size() >= kFoundLimit) db.found.clear();
                db.found.emplace(std::move(foundKey), Database::Found{id, shortUrl});
                result.shortUrl = std::move(shortUrl);
            }
        }
    }
    if (db.pendingUses.size() >= kPendingUsesLimit ||
        (!db.pendingUses.empty() && now() - db.pendingSince >= kPendingUsesSeconds))
        result.status = flushUses();
    return result;
}

HistoryTag ConversionHistory::secretTag(std::string_view secret) {
    // A closed history keeps nothing, so any key will do.
    if (!db_) return ConversionMemory::secretTag(secret);
    Database& db = *db_;
    if (db.tagKey.empty()) {
        // A file of an earlier version gets its key with the first secret it files.
        int code = db.execute("BEGIN IMMEDIATE");
        if (code == SQLITE_OK) code = makeTagKey(db.handle);
        if (code == SQLITE_OK) code = db.execute("COMMIT");
        if (code == SQLITE_OK) code = readTagKey(db.handle, db.tagKey);
        if (code == SQLITE_OK && db.tagKey.empty()) code = SQLITE_CORRUPT;
        if (code != SQLITE_OK) {
            Status status = failure(code, "写入历史");
            if (sqlite3_get_autocommit(db.handle) == 0) db.execute("ROLLBACK");
            return {{}, std::move(status)};
        }
    }
    return {hexDigits(hmacSha256(db.tagKey, secret)).substr(0, 16), {}};
}

Status ConversionHistory::record(std::string_view serviceKey, std::string_view longUrl,
                                 std::string_view shortUrl) {
    if (!db_) return {};
    if (Status flushed = flushUses(); !flushed.ok()) return flushed;
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
    return code == SQLITE_DONE ? Status() : failure(code, "写入历史");
}

Status ConversionHistory::flushUses() {
    if (!db_ || (db_->pendingUses.empty() && db_->pendingRefiles.empty())) return {};
    Database& db = *db_;
    int code = db.execute("BEGIN IMMEDIATE");
    for (auto it = db.pendingRefiles.begin(); code == SQLITE_OK && it != db.pendingRefiles.end();
         ++it) {
        const sqlite::StatementUse use(db.refile);
        db.refile.bind(1, it->first);
        db.refile.bind(2, it->second);
        code = db.refile.step() == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db.handle);
    }
    for (auto it = db.pendingUses.begin(); code == SQLITE_OK && it != db.pendingUses.end(); ++it) {
        const sqlite::StatementUse use(db.addUses);
        db.addUses.bind(1, it->first);
        db.addUses.bind(2, it->second);
        db.addUses.bind(3, db.pendingLastUsed);
        code = db.addUses.step() == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db.handle);
    }
    if (code == SQLITE_OK) code = db.execute("COMMIT");
    if (code != SQLITE_OK) {
        Status status = failure(code, "写入使用次数");
        db.execute("ROLLBACK");
        return status;
    }
    db.pendingUses.clear();
    db.pendingRefiles.clear();
    db.pendingLastUsed = 0;
    return {};
}

}  // namespace lianshuo

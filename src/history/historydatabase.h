#pragma once
// Inside the history: the connection with its prepared statements, the use
// counts not yet written and the addresses found before, shared by the
// files of the history library. Not for use outside it.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/charset.h"
#include "history/conversionhistory.h"
#include "history/sqlitestatement.h"

namespace lianshuo {
namespace historydb {

// The schema version this program writes (PRAGMA user_version).
inline constexpr int kSchemaVersion = 2;
// This program's mark on its history files (PRAGMA application_id): "LShy".
inline constexpr std::int32_t kApplicationId = 0x4C536879;

/// What an opened file is to this program.
enum class Verdict {
    New,      // empty: made into a history
    Current,  // this program's, today's schema
    Adopt,    // today's schema without this program's id (an earlier version's): the id is set
    Older,    // an older schema of this program's: upgraded in place
    Newer,    // a later version's: refused, left as it is
    Foreign,  // another program's, or a schema not known: put aside, never written
};

/// Judges the file open on `handle` by its id, schema version and tables; SQLite's code.
int judgeFile(sqlite3* handle, Verdict& verdict);
/// Brings a file judged New, Adopt or Older to today's schema, with this
/// program's id and a tag key, inside the caller's write transaction.
int settleFile(sqlite3* handle, Verdict verdict);
/// The file's tag key (hex), left empty when it has none yet; SQLite's code.
int readTagKey(sqlite3* handle, std::string& key);
/// Gives the file a random tag key unless it has one; SQLite's code.
int makeTagKey(sqlite3* handle);

// Addresses found once are remembered up to this many, then forgotten all at once.
inline constexpr std::size_t kFoundLimit = 100000;
// How often a look-up asks whether another connection wrote: the question
// takes the file's locks, which would cost more than the look-up it guards.
inline constexpr auto kOtherWritersCheck = std::chrono::milliseconds(100);

inline bool isAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

/// The UTF-8 form of a GBK text; addresses are nearly always ASCII and need no conversion.
inline std::string_view utf8Of(std::string_view gbk, std::string& buffer) {
    if (isAscii(gbk)) return gbk;
    buffer = toUtf8(gbk);
    return buffer;
}

inline std::string gbkOf(std::string_view utf8) {
    return isAscii(utf8) ? std::string(utf8) : fromUtf8(utf8);
}

/// How long a write has waited for another program's lock.
struct BusyWait {
    int timeoutMs = 5000;
    std::chrono::steady_clock::time_point since;
};

/// Sleeps a little while a step that SQLite does not wait in itself answers "busy", until the
/// BusyWait's time-out has passed; 0 then.
int waitWhileBusy(void* context, int attempt);

}  // namespace historydb

struct ConversionHistory::Database {
    sqlite3* handle = nullptr;
    sqlite::Statement lookup, record, addUses, refile, bounds;
    std::unordered_map<std::int64_t, std::int64_t> pendingUses;  // id -> uses not yet written
    // Rows found under an earlier version's key, to be filed under today's: id -> key (UTF-8).
    std::unordered_map<std::int64_t, std::string> pendingRefiles;
    std::string tagKey;  // hex; empty until read or made
    std::int64_t pendingLastUsed = 0, pendingSince = 0;
    std::string keyGbk, keyUtf8;  // the last service key, converted once
    historydb::BusyWait busy;
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
        for (sqlite::Statement* statement :
             {&lookup, &record, &addUses, &refile, &bounds, &dataVersion})
            statement->finalize();
        sqlite3_close_v2(handle);
    }

    int execute(const char* sql) { return sqlite3_exec(handle, sql, nullptr, nullptr, nullptr); }

    // Forgets what was found when another connection has committed since the
    // last check; checks at most every kOtherWritersCheck.
    int checkOtherWriters() {
        const auto moment = std::chrono::steady_clock::now();
        if (seenVersion >= 0 && moment - versionCheckedAt < historydb::kOtherWritersCheck)
            return SQLITE_OK;
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
            keyUtf8 = historydb::isAscii(gbk) ? keyGbk : toUtf8(gbk);
        }
        return keyUtf8;
    }
};

}  // namespace lianshuo

#pragma once
// A history of N conversions for the benchmarks, written in one transaction
// (a row at a time through record() would take minutes for a million).

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <string>

#include "history/conversionhistory.h"

namespace lianshuo::bench {

inline const char* kBenchServiceKey = "custom:s.example.test:0123456789abcdef";

/// The long address of row `n`.
inline std::string benchLongUrl(std::int64_t n) {
    return "https://shop" + std::to_string(n % 97) + ".example/item?id=" + std::to_string(n) +
           "&ref=list";
}

/// Creates the history at `path` (GBK, ASCII in practice) holding `rows` conversions, the short
/// address of row n made by `shortUrlOf` (n, its long address) when given.
inline bool fillHistory(
    const std::string& path, std::int64_t rows,
    const std::function<std::string(std::int64_t, const std::string&)>& shortUrlOf = {}) {
    {
        ConversionHistory history;
        if (!history.open(path).ok()) return false;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO conversions (service, long_url, short_url, created, "
                       "last_used, uses) VALUES (?1, ?2, ?3, ?4, ?4, 1)",
                       -1, &insert, nullptr);
    bool ok = insert != nullptr;
    for (std::int64_t n = 0; ok && n < rows; ++n) {
        const std::string longUrl = benchLongUrl(n);
        const std::string shortUrl =
            shortUrlOf ? shortUrlOf(n, longUrl) : "http://s.test/" + std::to_string(n);
        sqlite3_bind_text(insert, 1, kBenchServiceKey, -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 2, longUrl.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, shortUrl.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(insert, 4, 1700000000 + n);
        ok = sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

}  // namespace lianshuo::bench

#pragma once
// A prepared SQLite statement that binds texts and integers and reads
// columns. Callers reset it on every way out (StatementUse), so no read
// snapshot outlives the call that took it.

#include <sqlite3.h>

#include <cstdint>
#include <string_view>

namespace lianshuo::sqlite {

class Statement {
public:
    Statement() = default;
    ~Statement() { sqlite3_finalize(handle_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    /// Prepares `sql` on `db`, replacing what was prepared; the SQLite result code.
    int prepare(sqlite3* db, std::string_view sql);

    /// Binds a text; it must stay alive until the statement is reset.
    void bind(int index, std::string_view text);
    void bind(int index, std::int64_t value);

    /// SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return sqlite3_step(handle_); }

    std::int64_t integer(int column) const { return sqlite3_column_int64(handle_, column); }
    bool isNull(int column) const { return sqlite3_column_type(handle_, column) == SQLITE_NULL; }
    std::string_view text(int column) const;

    /// Frees the statement; a connection closes only once all of its statements are gone.
    void finalize() {
        sqlite3_finalize(handle_);
        handle_ = nullptr;
    }

    /// Ends the statement's run and forgets its bindings.
    void reset();

private:
    sqlite3_stmt* handle_ = nullptr;
};

/// Resets a statement when the scope ends.
class StatementUse {
public:
    explicit StatementUse(Statement& statement) : statement_(statement) {}
    ~StatementUse() { statement_.reset(); }
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;

private:
    Statement& statement_;
};

}  // namespace lianshuo::sqlite

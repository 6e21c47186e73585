#include "history/sqlitestatement.h"

namespace lianshuo::sqlite {

int Statement::prepare(sqlite3* db, std::string_view sql) {
    sqlite3_finalize(handle_);
    handle_ = nullptr;
    return sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()),
                              SQLITE_PREPARE_PERSISTENT, &handle_, nullptr);
}

void Statement::bind(int index, std::string_view text) {
    // The caller keeps the text alive until the reset, so SQLite need not copy it.
    sqlite3_bind_text64(handle_, index, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8);
}

void Statement::bind(int index, std::int64_t value) {
    sqlite3_bind_int64(handle_, index, value);
}

std::string_view Statement::text(int column) const {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(handle_, column));
    if (bytes == nullptr) return {};
    return {bytes, static_cast<std::size_t>(sqlite3_column_bytes(handle_, column))};
}

void Statement::reset() {
    if (handle_ == nullptr) return;
    sqlite3_reset(handle_);
    sqlite3_clear_bindings(handle_);
}

}  // namespace lianshuo::sqlite

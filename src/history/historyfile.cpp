// The rule a history file is opened by: whose file it is (its application
// id) and which schema it holds (its user version and tables) decide whether
// it is taken as it is, adopted, upgraded, refused or put aside.

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "base/platform.h"
#include "base/sha256.h"
#include "history/historydatabase.h"

namespace lianshuo::historydb {
namespace {

// The statements that bring a file of schema version N to N + 1, at index
// N - 1. A change of the schema appends its step here, its tables to
// schemas() and raises kSchemaVersion.
constexpr std::array<const char*, kSchemaVersion - 1> kUpgrades = {
    // 1 to 2: what the last check of each short address found.
    "ALTER TABLE conversions ADD COLUMN link_state INTEGER;"
    " ALTER TABLE conversions ADD COLUMN link_target TEXT;"
    " ALTER TABLE conversions ADD COLUMN checked INTEGER;",
};

struct Table {
    std::string_view name;
    std::string_view columns;  // in order, comma-separated
    bool required;
};

// The tables of each schema version, at index version - 1.
const std::vector<std::vector<Table>>& schemas() {
    static const std::vector<std::vector<Table>> known = {
        // Version 1; programs before the tag key wrote it without one.
        {{"conversions", "id,service,long_url,short_url,created,last_used,uses", true},
         {"tag_key", "id,key", false}},
        // Version 2: the last check's state, target and time.
        {{"conversions",
          "id,service,long_url,short_url,created,last_used,uses,link_state,link_target,checked",
          true},
         {"tag_key", "id,key", false}},
    };
    return known;
}

constexpr const char* kCreateTables =
    "CREATE TABLE conversions ("
    " id INTEGER PRIMARY KEY,"
    " service TEXT NOT NULL,"
    " long_url TEXT NOT NULL,"
    " short_url TEXT NOT NULL,"
    " created INTEGER NOT NULL,"
    " last_used INTEGER NOT NULL,"
    " uses INTEGER NOT NULL DEFAULT 1,"
    " link_state INTEGER,"
    " link_target TEXT,"
    " checked INTEGER,"
    " UNIQUE (service, long_url));";

constexpr const char* kCreateTagKey =
    "CREATE TABLE IF NOT EXISTS tag_key (id INTEGER PRIMARY KEY CHECK (id = 1), key TEXT NOT NULL)";

// What the verdict is made of.
struct Facts {
    std::int64_t applicationId = 0;
    std::int64_t version = 0;
    std::vector<std::pair<std::string, std::string>> tables;  // name, columns
};

int readInteger(sqlite3* handle, const char* sql, std::int64_t& value) {
    sqlite::Statement read;
    int code = read.prepare(handle, sql);
    if (code != SQLITE_OK) return code;
    code = read.step();
    if (code != SQLITE_ROW) return code;
    value = read.integer(0);
    return SQLITE_OK;
}

int readFacts(sqlite3* handle, Facts& facts) {
    int code = readInteger(handle, "PRAGMA application_id", facts.applicationId);
    if (code == SQLITE_OK) code = readInteger(handle, "PRAGMA user_version", facts.version);
    if (code != SQLITE_OK) return code;
    sqlite::Statement tables;
    code = tables.prepare(handle,
                          "SELECT m.name, group_concat(c.name, ',') FROM sqlite_master AS m,"
                          " pragma_table_info(m.name) AS c WHERE m.type = 'table'"
                          " AND m.name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"
                          " GROUP BY m.name ORDER BY m.name");
    if (code != SQLITE_OK) return code;
    while ((code = tables.step()) == SQLITE_ROW)
        facts.tables.emplace_back(tables.text(0), tables.text(1));
    return code == SQLITE_DONE ? SQLITE_OK : code;
}

// True when the tables are those of schema `version`: each one known, with
// its columns in order, and the required ones there.
bool holdsSchema(const Facts& facts, std::int64_t version) {
    const std::vector<Table>& tables = schemas()[static_cast<std::size_t>(version - 1)];
    std::size_t required = 0;
    for (const auto& entry : facts.tables) {
        const std::string& name = entry.first;
        const auto known = std::find_if(tables.begin(), tables.end(),
                                        [&name](const Table& table) { return table.name == name; });
        if (known == tables.end() || entry.second != known->columns) return false;
        required += known->required ? 1 : 0;
    }
    return required ==
           static_cast<std::size_t>(std::count_if(tables.begin(), tables.end(),
                                                  [](const Table& t) { return t.required; }));
}

// The rule itself.
Verdict judge(const Facts& facts) {
    const bool ours = facts.applicationId == kApplicationId;
    if (!ours && facts.applicationId != 0) return Verdict::Foreign;
    const bool hasConversions = std::any_of(facts.tables.begin(), facts.tables.end(),
                                            [](const auto& t) { return t.first == "conversions"; });
    // A later version's file is refused as it is; nothing here can read it safely.
    if (facts.version > kSchemaVersion)
        return ours || hasConversions ? Verdict::Newer : Verdict::Foreign;
    if (facts.version == 0 && facts.tables.empty()) return Verdict::New;
    if (facts.version < 1 || !holdsSchema(facts, facts.version)) return Verdict::Foreign;
    if (facts.version < kSchemaVersion) return Verdict::Older;
    return ours ? Verdict::Current : Verdict::Adopt;
}

int execute(sqlite3* handle, const char* sql) {
    return sqlite3_exec(handle, sql, nullptr, nullptr, nullptr);
}

}  // namespace

int makeTagKey(sqlite3* handle) {
    int code = execute(handle, kCreateTagKey);
    if (code != SQLITE_OK) return code;
    const Result<std::string> random = platform::randomBytes(32);
    if (!random) return SQLITE_IOERR;
    Sha256Digest bytes{};
    std::copy(random->begin(), random->end(), bytes.begin());
    sqlite::Statement insert;
    code = insert.prepare(handle, "INSERT OR IGNORE INTO tag_key (id, key) VALUES (1, ?1)");
    if (code != SQLITE_OK) return code;
    const std::string key = hexDigits(bytes);
    insert.bind(1, key);
    code = insert.step();
    return code == SQLITE_DONE ? SQLITE_OK : code;
}

namespace {

int setVersionAndId(sqlite3* handle) {
    const std::string pragmas = "PRAGMA user_version=" + std::to_string(kSchemaVersion) +
                                "; PRAGMA application_id=" + std::to_string(kApplicationId);
    return execute(handle, pragmas.c_str());
}

}  // namespace

int judgeFile(sqlite3* handle, Verdict& verdict) {
    // One read transaction: another program making the file a history at the
    // same moment must not show half of it (a version 0 with tables).
    const bool own = sqlite3_get_autocommit(handle) != 0;
    if (own)
        if (const int code = execute(handle, "BEGIN"); code != SQLITE_OK) return code;
    Facts facts;
    int code = readFacts(handle, facts);
    if (code == SQLITE_OK) verdict = judge(facts);
    if (own) {
        const int ended = execute(handle, code == SQLITE_OK ? "COMMIT" : "ROLLBACK");
        if (code == SQLITE_OK) code = ended;
    }
    return code;
}

int settleFile(sqlite3* handle, Verdict verdict) {
    int code = SQLITE_OK;
    switch (verdict) {
        case Verdict::New:
            code = execute(handle, kCreateTables);
            break;
        case Verdict::Older: {
            std::int64_t version = 0;
            code = readInteger(handle, "PRAGMA user_version", version);
            for (auto step = version; code == SQLITE_OK && step < kSchemaVersion; ++step)
                code = execute(handle, kUpgrades.at(static_cast<std::size_t>(step - 1)));
            break;
        }
        default:
            break;
    }
    if (code == SQLITE_OK) code = makeTagKey(handle);
    return code == SQLITE_OK ? setVersionAndId(handle) : code;
}

int readTagKey(sqlite3* handle, std::string& key) {
    sqlite::Statement read;
    int code = read.prepare(handle, "SELECT key FROM tag_key WHERE id = 1");
    // An older program's file of the same schema has no tag key yet.
    if (code != SQLITE_OK) return sqlite3_errcode(handle) == SQLITE_ERROR ? SQLITE_OK : code;
    code = read.step();
    if (code == SQLITE_ROW) key = read.text(0);
    return code == SQLITE_ROW || code == SQLITE_DONE ? SQLITE_OK : code;
}

}  // namespace lianshuo::historydb

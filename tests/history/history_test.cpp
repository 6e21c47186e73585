// The conversion history on its own: what it keeps and finds, the filters
// of the listing, the window's walk, and the file under faults.

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <thread>

#include "base/paths.h"
#include "history/conversionhistory.h"
#include "support/tempdir.h"

using namespace lianshuo;
namespace fs = std::filesystem;

namespace {

class History : public ::testing::Test {
protected:
    void SetUp() override {
        history.setClock([this] { return clock; });
        ASSERT_TRUE(history.open(path()).ok());
    }
    std::string path() const { return gbkPath(dir / "h.sqlite"); }
    std::vector<HistoryEntry> all(const HistoryFilter& filter = {}) {
        std::vector<HistoryEntry> entries;
        EXPECT_TRUE(history.list(filter, entries).ok());
        return entries;
    }
    std::optional<std::string> find(std::string_view key, std::string_view longUrl) {
        const HistoryLookup hit = history.lookup(key, longUrl);
        EXPECT_TRUE(hit.status.ok()) << hit.status.reason();
        return hit.shortUrl;
    }

    test::TempDir dir;
    std::int64_t clock = 1000;
    ConversionHistory history;
};

// A raw connection, as another program holds the file.
struct RawConnection {
    explicit RawConnection(const fs::path& file) { sqlite3_open(file.c_str(), &db); }
    ~RawConnection() { sqlite3_close(db); }
    int exec(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
    std::string text(const char* sql) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
        std::string value;
        if (sqlite3_step(statement) == SQLITE_ROW)
            value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        sqlite3_finalize(statement);
        return value;
    }
    sqlite3* db = nullptr;
};

}  // namespace

TEST_F(History, KeepsOneShortAddressPerServiceAndLongAddress) {
    ASSERT_TRUE(history.record("baidu:dwz.cn", "http://a.test/1", "http://s.test/1").ok());
    ASSERT_TRUE(history.record("custom:百度:00ff", "http://a.test/中文", "http://s.test/中").ok());
    EXPECT_EQ(find("baidu:dwz.cn", "http://a.test/1"), "http://s.test/1");
    EXPECT_EQ(find("custom:百度:00ff", "http://a.test/中文"), "http://s.test/中");
    EXPECT_EQ(find("weibo:t.cn", "http://a.test/1"), std::nullopt);
    EXPECT_EQ(find("baidu:dwz.cn", "http://a.test/2"), std::nullopt);
    // GBK inside the program, UTF-8 in the file, so other tools read it.
    RawConnection raw(dir / "h.sqlite");
    EXPECT_EQ(raw.text("SELECT long_url FROM conversions WHERE id = 2"),
              "http://a.test/\xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_EQ(raw.text("PRAGMA journal_mode"), "wal");
}

TEST_F(History, ReplacingKeepsTheAgeOfTheSameAddressAndRestartsANewOne) {
    ASSERT_TRUE(history.record("k", "http://a.test/1", "http://s.test/1").ok());
    clock = 2000;
    ASSERT_TRUE(history.record("k", "http://a.test/1", "http://s.test/1").ok());
    auto rows = all();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].created, 1000);
    EXPECT_EQ(rows[0].lastUsed, 2000);
    EXPECT_EQ(rows[0].uses, 2);
    ASSERT_TRUE(history.recordChecks({{rows[0].id, "http://s.test/1", 1, "", 2500}}).ok());
    EXPECT_EQ(all()[0].linkState, 1);
    clock = 3000;
    ASSERT_TRUE(history.record("k", "http://a.test/1", "http://s.test/new").ok());
    rows = all();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].shortUrl, "http://s.test/new");
    EXPECT_EQ(rows[0].created, 3000);
    EXPECT_EQ(rows[0].uses, 1);
    // The check was of the address replaced: neither it nor a late one for it holds any more.
    EXPECT_EQ(rows[0].linkState, -1);
    ASSERT_TRUE(history.recordChecks({{rows[0].id, "http://s.test/1", 2, "", 3500}}).ok());
    EXPECT_EQ(all()[0].linkState, -1);
}

TEST_F(History, HitsCountAsUsesOnceWritten) {
    ASSERT_TRUE(history.record("k", "http://a.test/1", "http://s.test/1").ok());
    clock = 5000;
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(find("k", "http://a.test/1"));
    EXPECT_FALSE(find("k", "http://a.test/none"));
    // The listing writes what look-ups gathered first; so does closing.
    auto rows = all();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].uses, 4);
    EXPECT_EQ(rows[0].lastUsed, 5000);
    EXPECT_TRUE(find("k", "http://a.test/1"));
    EXPECT_TRUE(history.close());
    ConversionHistory again;
    ASSERT_TRUE(again.open(path()).ok());
    std::vector<HistoryEntry> reread;
    ASSERT_TRUE(again.list({}, reread).ok());
    EXPECT_EQ(reread.at(0).uses, 5);
}

TEST_F(History, FiltersTakeAServiceOrItsGroupAndADateRange) {
    clock = 100;
    ASSERT_TRUE(history.record("custom:a:0001", "http://a.test/1", "http://s.test/1").ok());
    clock = 200;
    ASSERT_TRUE(history.record("custom:b:0002", "http://a.test/2", "http://s.test/2").ok());
    clock = 300;
    ASSERT_TRUE(history.record("customer:x", "http://a.test/3", "http://s.test/3").ok());
    ASSERT_TRUE(history.record("baidu:dwz.cn", "http://a.test/4", "http://s.test/4").ok());
    const auto longs = [this](const HistoryFilter& filter) {
        std::string text;
        for (const HistoryEntry& e : all(filter)) text += e.longUrl.substr(14);
        return text;
    };
    EXPECT_EQ(longs({}), "1234");
    EXPECT_EQ(longs({.service = "custom"}), "12");
    EXPECT_EQ(longs({.service = "custom:a"}), "1");
    EXPECT_EQ(longs({.service = "baidu:dwz.cn"}), "4");
    EXPECT_EQ(longs({.service = "custom:"}), "");
    EXPECT_EQ(longs({.service = {}, .usedSince = 200}), "234");
    EXPECT_EQ(longs({.service = {}, .usedSince = 0, .usedBefore = 300}), "12");
    EXPECT_EQ(longs({.service = "custom", .usedSince = 150}), "2");

    std::int64_t removed = 0;
    ASSERT_TRUE(history.forget({.service = "custom", .usedBefore = 150}, &removed).ok());
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(longs({}), "234");
    ASSERT_TRUE(history.remove({all()[0].id, all()[2].id}).ok());
    EXPECT_EQ(longs({}), "3");
    ASSERT_TRUE(history.forget({}, &removed).ok());
    EXPECT_EQ(removed, 1);
    EXPECT_TRUE(all().empty());
}

TEST_F(History, TheWindowsWalkFindsEveryMatchNewestFirstInShortSteps) {
    std::vector<std::int64_t> expected;
    for (int i = 0; i < 300; ++i) {
        const std::string n = std::to_string(i);
        ASSERT_TRUE(history.record("k", "http://a.test/" + n, "http://s.test/x" + n).ok());
    }
    // Gaps, as deletes leave them.
    std::vector<std::int64_t> gone;
    for (const HistoryEntry& e : all())
        if (e.id % 7 == 0) gone.push_back(e.id);
    ASSERT_TRUE(history.remove(gone).ok());
    for (const HistoryEntry& e : all())
        if (e.longUrl.find('5') != std::string::npos) expected.push_back(e.id);
    std::reverse(expected.begin(), expected.end());

    for (const std::string search : {"5", "X1_", ""}) {
        std::vector<std::int64_t> walked;
        HistoryPageQuery query{.search = search, .limit = 4, .span = 25};
        int steps = 0;
        while (true) {
            const HistoryPage page = history.page(query);
            ASSERT_TRUE(page.status.ok());
            EXPECT_LE(page.entries.size(), 4u);
            for (const HistoryEntry& e : page.entries) walked.push_back(e.id);
            ++steps;
            if (page.finished) break;
            query.below = page.next;
        }
        if (search == "5") {
            EXPECT_EQ(walked, expected);
        } else if (search.empty()) {
            EXPECT_EQ(walked.size(), all().size());
            EXPECT_TRUE(std::is_sorted(walked.rbegin(), walked.rend()));
        } else {
            // "_" is a letter to look for, not LIKE's any-character.
            EXPECT_TRUE(walked.empty());
        }
        EXPECT_GE(steps, 300 / 25);
    }
    ConversionHistory empty;
    ASSERT_TRUE(empty.open(gbkPath(dir / "empty.sqlite")).ok());
    EXPECT_TRUE(empty.page({}).finished);
}

TEST_F(History, AFileThatIsNoHistoryIsRefusedWithItsPathAndReason) {
    test::writeFile(dir / "junk.sqlite", std::string(8192, 'x'));
    ConversionHistory junk;
    const Status status = junk.open(gbkPath(dir / "junk.sqlite"));
    EXPECT_EQ(historyFailureOf(status), HistoryFailure::Corrupt);
    EXPECT_NE(status.reason().find(gbkPath(dir / "junk.sqlite")), std::string::npos);
    EXPECT_FALSE(junk.isOpen());
    EXPECT_FALSE(junk.lookup("k", "http://a.test/1").shortUrl);
    // A closed history keeps nothing and fails nothing.
    EXPECT_TRUE(junk.record("k", "http://a.test/1", "http://s.test/1").ok());

    fs::create_directory(dir / "folder.sqlite");
    const Status folder = junk.open(gbkPath(dir / "folder.sqlite"));
    EXPECT_FALSE(folder.ok());
    EXPECT_NE(folder.reason().find("folder.sqlite"), std::string::npos);
}

TEST_F(History, DamagedPagesShowAsFailuresNotCrashes) {
    for (int i = 0; i < 2000; ++i)
        ASSERT_TRUE(history
                        .record("k", "http://a.test/" + std::to_string(i) + std::string(100, 'p'),
                                "http://s.test/1")
                        .ok());
    EXPECT_TRUE(history.close());
    RawConnection(dir / "h.sqlite").exec("PRAGMA wal_checkpoint(TRUNCATE)");
    {
        std::string bytes = test::readFile(dir / "h.sqlite");
        ASSERT_GT(bytes.size(), 40000u);
        for (std::size_t i = 8192; i < 40000; ++i) bytes[i] = static_cast<char>(i * 131);
        test::writeFile(dir / "h.sqlite", bytes);
    }
    ConversionHistory damaged;
    Status status = damaged.open(path());
    if (status.ok()) {
        bool failed = false;
        for (int i = 0; i < 2000 && !failed; i += 50)
            failed =
                !damaged.lookup("k", "http://a.test/" + std::to_string(i) + std::string(100, 'p'))
                     .status.ok();
        std::vector<HistoryEntry> rows;
        status = damaged.list({}, rows);
        EXPECT_TRUE(failed || !status.ok());
    }
    if (!status.ok()) {
        EXPECT_EQ(historyFailureOf(status), HistoryFailure::Corrupt) << status.reason();
    }
}

TEST_F(History, AWriterThatHoldsTheLockTooLongIsReportedAsBusy) {
    ASSERT_TRUE(history.record("k", "http://a.test/1", "http://s.test/1").ok());
    RawConnection other(dir / "h.sqlite");
    ASSERT_EQ(other.exec("BEGIN IMMEDIATE"), SQLITE_OK);
    ConversionHistory waiting;
    waiting.setBusyTimeout(50);
    ASSERT_TRUE(waiting.open(path()).ok());
    // Readers go on while another program writes.
    EXPECT_EQ(waiting.lookup("k", "http://a.test/1").shortUrl, "http://s.test/1");
    const Status status = waiting.record("k", "http://a.test/2", "http://s.test/2");
    EXPECT_EQ(historyFailureOf(status), HistoryFailure::Busy);
    EXPECT_NE(status.reason().find("锁定"), std::string::npos) << status.reason();
    ASSERT_EQ(other.exec("COMMIT"), SQLITE_OK);
    EXPECT_TRUE(waiting.record("k", "http://a.test/2", "http://s.test/2").ok());
    EXPECT_EQ(find("k", "http://a.test/2"), "http://s.test/2");
}

TEST_F(History, AFolderThatCannotBeWrittenIsReadOnly) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    fs::create_directory(dir / "locked");
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    ConversionHistory locked;
    const Status status = locked.open(gbkPath(dir / "locked" / "h.sqlite"));
    EXPECT_EQ(historyFailureOf(status), HistoryFailure::ReadOnly) << status.reason();
    fs::permissions(dir / "locked", fs::perms::owner_all);
}

TEST_F(History, AHistoryFromANewerVersionIsLeftAlone) {
    EXPECT_TRUE(history.close());
    RawConnection(dir / "h.sqlite").exec("PRAGMA user_version=7");
    const Status status = history.open(path());
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(RawConnection(dir / "h.sqlite").text("PRAGMA user_version"), "7");
}

TEST_F(History, AKilledProcessKeepsEveryConversionItRecorded) {
    EXPECT_TRUE(history.close());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ConversionHistory mine;
        if (!mine.open(path()).ok()) _exit(3);
        for (int i = 0; i < 50; ++i)
            if (!mine.record("k", "http://a.test/" + std::to_string(i),
                             "http://s.test/" + std::to_string(i))
                     .ok())
                _exit(4);
        raise(SIGKILL);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_TRUE(history.open(path()).ok());
    EXPECT_EQ(all().size(), 50u);
    EXPECT_EQ(find("k", "http://a.test/49"), "http://s.test/49");
}

TEST_F(History, TwoConnectionsShareWhatEitherRecords) {
    ConversionHistory other;
    ASSERT_TRUE(other.open(path()).ok());
    ASSERT_TRUE(other.record("k", "http://a.test/1", "http://s.test/1").ok());
    EXPECT_EQ(find("k", "http://a.test/1"), "http://s.test/1");
    ASSERT_TRUE(history.record("k", "http://a.test/2", "http://s.test/2").ok());
    EXPECT_EQ(other.lookup("k", "http://a.test/2").shortUrl, "http://s.test/2");
}

TEST_F(History, ChangesByAnotherConnectionReachAnAddressFoundBefore) {
    ASSERT_TRUE(history.record("k", "http://a.test/1", "http://s.test/1").ok());
    EXPECT_EQ(find("k", "http://a.test/1"), "http://s.test/1");
    ConversionHistory other;
    ASSERT_TRUE(other.open(path()).ok());
    ASSERT_TRUE(other.record("k", "http://a.test/1", "http://s.test/2").ok());
    // Found addresses are remembered; another connection's writes are looked for every 100 ms.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(find("k", "http://a.test/1"), "http://s.test/2");
    ASSERT_TRUE(other.forget({}).ok());
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(find("k", "http://a.test/1"), std::nullopt);
    // This connection's own changes count at once.
    ASSERT_TRUE(history.record("k", "http://a.test/1", "http://s.test/3").ok());
    EXPECT_EQ(find("k", "http://a.test/1"), "http://s.test/3");
    ASSERT_TRUE(history.forget({.service = "k"}).ok());
    EXPECT_EQ(find("k", "http://a.test/1"), std::nullopt);
}

TEST_F(History, ProcessesThatOpenANewHistoryAtOnceAllGetIt) {
    for (int round = 0; round < 10; ++round) {
        const std::string fresh = gbkPath(dir / ("new" + std::to_string(round) + ".sqlite"));
        std::vector<pid_t> children;
        for (int child = 0; child < 4; ++child) {
            const pid_t pid = fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                ConversionHistory mine;
                const Status opened = mine.open(fresh);
                if (!opened.ok()) {
                    std::fprintf(stderr, "%s\n", opened.reason().c_str());
                    _exit(3);
                }
                const std::string n = std::to_string(child);
                _exit(mine.record("k", "http://a.test/" + n, "http://s.test/" + n).ok() ? 0 : 4);
            }
            children.push_back(pid);
        }
        for (const pid_t pid : children) {
            int status = 0;
            waitpid(pid, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
        }
        ConversionHistory check;
        ASSERT_TRUE(check.open(fresh).ok());
        std::vector<HistoryEntry> rows;
        ASSERT_TRUE(check.list({}, rows).ok());
        EXPECT_EQ(rows.size(), 4u);
    }
}

namespace {

// The schema as versions before the application id wrote it.
void makeEarlierVersionsHistory(const fs::path& file) {
    RawConnection raw(file);
    raw.exec("PRAGMA journal_mode=WAL");
    raw.exec(
        "CREATE TABLE conversions (id INTEGER PRIMARY KEY, service TEXT NOT NULL,"
        " long_url TEXT NOT NULL, short_url TEXT NOT NULL, created INTEGER NOT NULL,"
        " last_used INTEGER NOT NULL, uses INTEGER NOT NULL DEFAULT 1, UNIQUE (service, long_url));"
        "PRAGMA user_version=1;"
        "INSERT INTO conversions (service, long_url, short_url, created, last_used)"
        " VALUES ('k', 'http://a.test/1', 'http://s.test/1', 1, 1)");
}

// The first schema, in a file that already carries this program's id.
void makeOwnFirstSchemaHistory(const fs::path& file) {
    makeEarlierVersionsHistory(file);
    RawConnection(file).exec("PRAGMA application_id=1280534649");
}

// Today's schema without the id, as a program that wrote it before the id may leave it.
void makeTodaysSchemaWithoutId(const fs::path& file) {
    {
        ConversionHistory ours;
        ASSERT_TRUE(ours.open(gbkPath(file)).ok());
        ASSERT_TRUE(ours.record("k", "http://a.test/1", "http://s.test/1").ok());
    }
    RawConnection(file).exec("PRAGMA application_id=0");
}

void makeLaterVersionsHistory(const fs::path& file) {
    makeEarlierVersionsHistory(file);
    RawConnection(file).exec("PRAGMA user_version=7");
}

void makeAnotherProgramsDatabase(const fs::path& file) {
    RawConnection(file).exec("PRAGMA application_id=1234; CREATE TABLE t (x)");
}

void makeUnknownDatabase(const fs::path& file) {
    RawConnection(file).exec("CREATE TABLE notes (id INTEGER PRIMARY KEY, text TEXT)");
}

// A history of ours with another database's WAL beside it.
void makeHistoryWithAnotherWal(const fs::path& file) {
    {
        ConversionHistory ours;
        ASSERT_TRUE(ours.open(gbkPath(file)).ok());
        for (int i = 0; i < 200; ++i)
            ASSERT_TRUE(
                ours.record("k", "http://a.test/" + std::to_string(i), "http://s.test/1").ok());
    }
    const fs::path other = file.parent_path() / "other.sqlite";
    RawConnection raw(other);
    raw.exec("PRAGMA journal_mode=WAL; CREATE TABLE t (x); INSERT INTO t VALUES (1)");
    sqlite3_db_config(raw.db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    fs::copy_file(fs::path(other) += "-wal", fs::path(file) += "-wal");
}

struct FileCase {
    const char* name;
    void (*make)(const fs::path& file);
    enum { Adopted, Refused, PutAside } outcome;
};

class HistoryFile : public ::testing::TestWithParam<FileCase> {
protected:
    test::TempDir dir;
};

}  // namespace

TEST_P(HistoryFile, IsAdoptedRefusedOrPutAsideButNeverWrittenWhenNotOurs) {
    const fs::path file = dir / "h.sqlite";
    GetParam().make(file);
    const std::string before = test::readFile(file);
    ConversionHistory history;
    const Status status = history.open(gbkPath(file));
    switch (GetParam().outcome) {
        case FileCase::Adopted:
            ASSERT_TRUE(status.ok()) << status.reason();
            EXPECT_EQ(history.lookup("k", "http://a.test/1").shortUrl, "http://s.test/1");
            {
                // The check's columns are there, whatever schema the file had.
                std::vector<HistoryEntry> rows;
                ASSERT_TRUE(history.list({}, rows).ok());
                ASSERT_EQ(rows.size(), 1u);
                EXPECT_EQ(rows[0].linkState, -1);
                ASSERT_TRUE(history
                                .recordChecks({{rows[0].id, "http://s.test/1", 3,
                                                "http://parked.test/", 1700000000}})
                                .ok());
                rows.clear();
                ASSERT_TRUE(history.list({}, rows).ok());
                EXPECT_EQ(rows[0].linkState, 3);
                EXPECT_EQ(rows[0].linkTarget, "http://parked.test/");
                EXPECT_EQ(rows[0].checked, 1700000000);
            }
            EXPECT_TRUE(history.close());
            EXPECT_EQ(RawConnection(file).text("PRAGMA application_id"), "1280534649");
            EXPECT_EQ(RawConnection(file).text("PRAGMA user_version"), "2");
            break;
        case FileCase::Refused:
            EXPECT_FALSE(status.ok());
            EXPECT_NE(status.reason().find("更新的版本"), std::string::npos) << status.reason();
            EXPECT_EQ(test::readFile(file), before);
            break;
        case FileCase::PutAside: {
            ASSERT_TRUE(status.ok()) << status.reason();
            EXPECT_NE(history.openWarning().find(gbkPath(file) + ".broken-"), std::string::npos)
                << history.openWarning();
            std::vector<std::string> aside;
            for (const auto& entry : fs::directory_iterator(dir.path()))
                if (entry.path().filename().string().rfind("h.sqlite.broken-", 0) == 0)
                    aside.push_back(entry.path().filename().string());
            std::sort(aside.begin(), aside.end());
            ASSERT_FALSE(aside.empty());
            EXPECT_EQ(test::readFile(dir / aside[0]), before);
            if (fs::exists(dir / "other.sqlite")) {
                EXPECT_NE(std::find(aside.begin(), aside.end(), aside[0] + "-wal"), aside.end());
            }
            // A new history in its place.
            std::vector<HistoryEntry> rows;
            ASSERT_TRUE(history.list({}, rows).ok());
            EXPECT_TRUE(rows.empty());
            ASSERT_TRUE(history.record("k", "http://a.test/1", "http://s.test/2").ok());
            EXPECT_EQ(history.lookup("k", "http://a.test/1").shortUrl, "http://s.test/2");
            break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, HistoryFile,
    ::testing::Values(
        FileCase{"EarlierVersion", makeEarlierVersionsHistory, FileCase::Adopted},
        FileCase{"OwnFirstSchema", makeOwnFirstSchemaHistory, FileCase::Adopted},
        FileCase{"TodaysSchemaWithoutId", makeTodaysSchemaWithoutId, FileCase::Adopted},
        FileCase{"LaterVersion", makeLaterVersionsHistory, FileCase::Refused},
        FileCase{"AnotherProgramsId", makeAnotherProgramsDatabase, FileCase::PutAside},
        FileCase{"UnknownSchema", makeUnknownDatabase, FileCase::PutAside},
        FileCase{"AnotherDatabasesWal", makeHistoryWithAnotherWal, FileCase::PutAside}),
    [](const auto& kind) { return std::string(kind.param.name); });

TEST_F(History, AWriteProtectedHistoryIsReportedAsReadOnly) {
    EXPECT_TRUE(history.close());
    fs::permissions(dir / "h.sqlite",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const auto opened = [this] {
        ConversionHistory locked;
        const Status status = locked.open(path());
        std::fprintf(stderr, "%s\n", status.reason().c_str());
        return historyFailureOf(status) == HistoryFailure::ReadOnly &&
               status.reason() == "打开历史：历史文件是只读的：" + path();
    };
    if (geteuid() != 0) {
        EXPECT_TRUE(opened());
        return;
    }
    // The superuser writes anything: the check runs as nobody.
    fs::permissions(dir.path(),
                    fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(setgid(65534) == 0 && setuid(65534) == 0 && opened() ? 0 : 1);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

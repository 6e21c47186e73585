// Saves that fail (full disk, I/O error, read-only folder) through the
// platform seam's test hook, paths that are not regular files, and links.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>

#include "base/platform.h"
#include "store/controlstatestore.h"
#include "support/tempdir.h"

using namespace lianshuo;
using platform::faults::Call;
namespace fs = std::filesystem;

namespace {

class StoreFaults : public ::testing::Test {
protected:
    void SetUp() override { platform::faults::reset(); }
    void TearDown() override { platform::faults::reset(); }
    std::string file() const { return (dir / "s.ini").string(); }
    std::string disk() const { return test::readFile(dir / "s.ini"); }
    std::vector<std::string> filesInDir() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            names.push_back(entry.path().filename().string());
        return names;
    }

    test::TempDir dir;
    ControlStateStore store;
};

}  // namespace

TEST_F(StoreFaults, AFailedSaveGivesItsReasonAndKeepsTheChangeForTheNextSave) {
    const std::pair<Call, int> faults[] = {
        {Call::Write, ENOSPC}, {Call::Sync, EIO}, {Call::Rename, EROFS}, {Call::Open, EROFS}};
    for (const auto& [call, error] : faults) {
        SCOPED_TRACE(platform::errorText(error));
        fs::remove(dir / "s.ini");
        ASSERT_TRUE(store.bindFile(file()));
        store.selectSection("s");
        ASSERT_TRUE(store.writeText("k", "1"));
        platform::faults::failNext(call, error);
        ControlStateStore::Batch batch(store);
        batch.writeText("k", "2");
        const Status saved = batch.commit();
        EXPECT_FALSE(saved);
        EXPECT_EQ(saved.code(), error);
        EXPECT_EQ(saved.reason(), platform::errorText(error));
        EXPECT_EQ(disk(), "[s]\r\nk=1");
        EXPECT_EQ(filesInDir(), std::vector<std::string>{"s.ini"});  // no temporary file left
        // The change is kept in memory and reaches the disk with the next save.
        EXPECT_EQ(store.readText("k"), "2");
        ASSERT_TRUE(store.writeText("j", "3"));
        EXPECT_EQ(disk(), "[s]\r\nj=3\r\nk=2");
    }
}

TEST_F(StoreFaults, AFailedSaveIsNeverReportedAsWrittenOrRemoved) {
    ASSERT_TRUE(store.bindFile(file()));
    store.selectSection("s");
    ASSERT_TRUE(store.writeText("k", "1"));
    platform::faults::failNext(Call::Rename, EROFS);
    EXPECT_FALSE(store.writeText("k", "2"));
    platform::faults::failNext(Call::Write, ENOSPC);
    EXPECT_FALSE(store.deleteEntry("s", "k"));
    platform::faults::failNext(Call::Lock, ENOLCK);
    EXPECT_FALSE(store.writeNumber("n", 1));
    EXPECT_EQ(disk(), "[s]\r\nk=1");
}

TEST_F(StoreFaults, ADirectoryPipeOrDeviceIsRefusedWithoutReadingOrReplacingIt) {
    fs::create_directory(dir / "folder");
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0644), 0);
    for (const std::string& path :
         {(dir / "folder").string(), (dir / "pipe").string(), std::string("/dev/null")}) {
        SCOPED_TRACE(path);
        const Status bound = store.bindFile(path);
        EXPECT_FALSE(bound);
        EXPECT_FALSE(bound.reason().empty());
    }
    // Writing is refused as well, and leaves the pipe and the folder as they are.
    for (const char* name : {"folder", "pipe"}) {
        (void)store.bindFile((dir / name).string());
        store.selectSection("s");
        EXPECT_FALSE(store.writeText("k", "1"));
    }
    EXPECT_TRUE(fs::is_directory(dir / "folder"));
    EXPECT_TRUE(fs::is_fifo(dir / "pipe"));
}

TEST_F(StoreFaults, TheSaveNeverWritesThroughALinkPlantedBesideTheFile) {
    test::writeFile(dir / "victim", "keep");
    fs::create_symlink(dir / "victim", dir / "s.ini.saving");
    ASSERT_TRUE(store.bindFile(file()));
    store.selectSection("s");
    ASSERT_TRUE(store.writeText("k", "1"));
    EXPECT_EQ(test::readFile(dir / "victim"), "keep");
    EXPECT_TRUE(fs::is_symlink(dir / "s.ini.saving"));
    EXPECT_EQ(disk(), "[s]\r\nk=1");
}

TEST_F(StoreFaults, ASettingsFileReachedThroughALinkIsSavedWhereTheLinkPoints) {
    fs::create_directory(dir / "real");
    test::writeFile(dir / "real" / "s.ini", "[s]\r\nk=1");
    chmod((dir / "real" / "s.ini").c_str(), 0600);
    fs::create_symlink(dir / "real" / "s.ini", dir / "link.ini");
    ASSERT_TRUE(store.bindFile((dir / "link.ini").string()));
    store.selectSection("s");
    ASSERT_TRUE(store.writeText("k", "2"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
    EXPECT_EQ(test::readFile(dir / "real" / "s.ini"), "[s]\r\nk=2");
    EXPECT_EQ(fs::status(dir / "real" / "s.ini").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(StoreFaults, ABatchIsOneSaveAndABatchThatChangesNothingIsNone) {
    ASSERT_TRUE(store.bindFile(file()));
    const auto write = [&] {
        ControlStateStore::Batch batch(store);
        batch.selectSection("a");
        for (int i = 0; i < 14; ++i) batch.writeNumber("k" + std::to_string(i), i);
        batch.selectSection("b");
        batch.writeBool("flag", true);
        batch.deleteEntry("c", "");
        return batch.commit();
    };
    platform::faults::reset();
    ASSERT_TRUE(write());
    EXPECT_EQ(platform::faults::count(Call::Sync), 1);
    EXPECT_EQ(platform::faults::count(Call::Rename), 1);
    const std::string saved = disk();
    platform::faults::reset();
    ASSERT_TRUE(write());
    EXPECT_EQ(platform::faults::count(Call::Sync), 0);
    EXPECT_EQ(platform::faults::count(Call::Rename), 0);
    EXPECT_EQ(platform::faults::count(Call::Open), 0);
    EXPECT_EQ(disk(), saved);
}

TEST_F(StoreFaults, ASaveRemovesTheCopiesThatKilledSavesLeftBehind) {
    const pid_t gone = fork();
    ASSERT_GE(gone, 0);
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string mine = std::to_string(getpid());
    const auto copy = [this](const std::string& name, int minutesOld) {
        test::writeFile(dir / name, "[s]\r\n令牌=secret");
        const auto when = fs::file_time_type::clock::now() - std::chrono::minutes(minutesOld);
        fs::last_write_time(dir / name, when);
    };
    copy("s.ini.saving-" + std::to_string(gone) + "-aB3dE9", 0);  // a killed save
    copy("s.ini.saving-" + mine + "-fresh1", 0);                  // a save under way
    copy("s.ini.saving-" + mine + "-stuck1", 2);                  // a save that never ends
    copy("s.ini.saving-Q7xYz2", 2);                               // an older version's
    copy("t.ini.saving-" + std::to_string(gone) + "-aB3dE9", 0);  // another file's
    ASSERT_TRUE(store.bindFile(file()));
    store.selectSection("s");
    ASSERT_TRUE(store.writeText("k", "1"));
    std::vector<std::string> left = filesInDir();
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"s.ini", "s.ini.saving-" + mine + "-fresh1",
                                              "t.ini.saving-" + std::to_string(gone) + "-aB3dE9"}));
}

// Two stores, and two programs, on one settings file: every program's keys
// survive, and the last writer wins per key.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "store/controlstatestore.h"
#include "support/tempdir.h"

using namespace lianshuo;

namespace {

class StoreSharing : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(first.bindFile(file()));
        ASSERT_TRUE(second.bindFile(file()));
        first.selectSection("s");
        second.selectSection("s");
    }
    std::string file() const { return (dir / "shared.ini").string(); }
    std::string disk() const { return test::readFile(dir / "shared.ini"); }
    test::TempDir dir;
    ControlStateStore first;
    ControlStateStore second;
};

// Writes `count` keys named after `who`, one save each; exits 0 when all were saved.
[[noreturn]] void writeKeys(const std::string& path, const std::string& who, int count) {
    ControlStateStore store;
    if (!store.bindFile(path)) _exit(3);
    store.selectSection("s");
    for (int i = 0; i < count; ++i)
        if (!store.writeNumber(who + std::to_string(i), i)) _exit(4);
    _exit(0);
}

}  // namespace

TEST_F(StoreSharing, EachStoreWritesItsKeysOntoWhatTheOtherSaved) {
    ASSERT_TRUE(first.writeText("a", "1"));
    ASSERT_TRUE(second.writeText("b", "2"));  // its copy did not hold "a" yet
    EXPECT_EQ(disk(), "[s]\r\nb=2\r\na=1");
    EXPECT_EQ(second.readText("a"), "1");  // a write brings the other's keys in
    ASSERT_TRUE(first.writeText("a", "3"));
    ASSERT_TRUE(second.writeText("a", "4"));
    EXPECT_EQ(disk(), "[s]\r\nb=2\r\na=4");
}

TEST_F(StoreSharing, AValueWrittenBackUnchangedDoesNotUndoTheOtherProgramsChange) {
    ASSERT_TRUE(first.writeText("token", "old"));
    ASSERT_TRUE(second.bindFile(file()));
    ASSERT_TRUE(second.writeText("token", "new"));
    // The first program closes and saves what it showed, the token untouched.
    ControlStateStore::Batch close(first);
    close.writeText("token", "old");
    close.writeText("interval", "5");
    ASSERT_TRUE(close.commit());
    EXPECT_EQ(disk(), "[s]\r\ninterval=5\r\ntoken=new");
}

TEST_F(StoreSharing, AFileEditedInPlaceIsReadAgainBeforeTheNextWrite) {
    ASSERT_TRUE(first.writeText("a", "1"));
    test::writeFile(dir / "shared.ini", "[s]\nhand=edited\na=1\n");
    ASSERT_TRUE(first.writeText("b", "2"));
    EXPECT_EQ(disk(), "[s]\r\nb=2\nhand=edited\na=1\n");
}

TEST_F(StoreSharing, TwoProgramsWritingDifferentKeysLoseNone) {
    constexpr int kKeys = 40;
    const pid_t one = fork();
    ASSERT_GE(one, 0);
    if (one == 0) writeKeys(file(), "one", kKeys);
    const pid_t two = fork();
    ASSERT_GE(two, 0);
    if (two == 0) writeKeys(file(), "two", kKeys);
    for (const pid_t child : {one, two}) {
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "a write did not reach the file";
    }
    ControlStateStore after;
    ASSERT_TRUE(after.bindFile(file()));
    after.selectSection("s");
    for (const char* who : {"one", "two"})
        for (int i = 0; i < kKeys; ++i)
            EXPECT_EQ(after.readNumber(who + std::to_string(i), -1), i) << who << i;
}

// The POSIX side of the platform seam: what each call refuses, and its test hook.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "base/platform.h"
#include "support/tempdir.h"

using namespace lianshuo;
using platform::FileKind;
using platform::faults::Call;
namespace fs = std::filesystem;

namespace {

class Platform : public ::testing::Test {
protected:
    void SetUp() override { platform::faults::reset(); }
    void TearDown() override { platform::faults::reset(); }
    test::TempDir dir;
};

}  // namespace

TEST_F(Platform, WholeFileReadsRefuseWhatIsNotARegularFileWithoutReadingIt) {
    test::writeFile(dir / "f", "abc");
    const Result<platform::FileContent> file = platform::readWholeFile(dir / "f");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->bytes, "abc");
    EXPECT_EQ(file->stamp.size, 3u);

    EXPECT_EQ(platform::readWholeFile(dir / "missing").code(), ENOENT);
    fs::create_directory(dir / "d");
    EXPECT_EQ(platform::readWholeFile(dir / "d").code(), EISDIR);
    // A pipe with no writer would block an ordinary open; /dev/zero would never end.
    ASSERT_EQ(mkfifo((dir / "p").c_str(), 0644), 0);
    for (const fs::path& path : {dir / "p", fs::path("/dev/zero")}) {
        const Result<platform::FileContent> refused = platform::readWholeFile(path);
        EXPECT_FALSE(refused) << path;
        EXPECT_FALSE(refused.reason().empty());
    }
    EXPECT_EQ(*platform::fileKind(dir / "p"), FileKind::Other);
    EXPECT_EQ(*platform::fileKind(dir / "missing" / "x"), FileKind::Missing);
}

TEST_F(Platform, ASmallFileIsReadWholeALargerOneLeftUnreadAndAPipeRefused) {
    test::writeFile(dir / "f", "abcdef");
    std::string buffer(2, 'z');
    Result<platform::SmallFile> read = platform::readSmallFile(dir / "f", buffer, 7);
    ASSERT_TRUE(read) << read.reason();
    EXPECT_TRUE(read->whole);
    EXPECT_EQ(std::string_view(buffer.data(), read->size), "abcdef");
    read = platform::readSmallFile(dir / "f", buffer, 6);
    ASSERT_TRUE(read);
    EXPECT_FALSE(read->whole);
    EXPECT_EQ(platform::readSmallFile(dir / "missing", buffer, 7).code(), ENOENT);
    ASSERT_EQ(mkfifo((dir / "p").c_str(), 0644), 0);
    EXPECT_FALSE(platform::readSmallFile(dir / "p", buffer, 7));
    fs::create_directory(dir / "d");
    EXPECT_FALSE(platform::readSmallFile(dir / "d", buffer, 7));
    platform::faults::failNext(Call::Read, EIO);
    EXPECT_EQ(platform::readSmallFile(dir / "f", buffer, 7).code(), EIO);
}

TEST_F(Platform, ANewFileIsNeverCreatedThroughALinkOrOverAnotherFile) {
    fs::create_symlink(dir / "target", dir / "link");
    EXPECT_EQ(platform::createNewFile(dir / "link").code(), EEXIST);
    EXPECT_FALSE(fs::exists(dir / "target"));
    Result<platform::File> created = platform::createNewFile(dir / "new");
    ASSERT_TRUE(created);
    ASSERT_TRUE(created->write("line\r\n"));
    EXPECT_TRUE(created->close());
    EXPECT_EQ(test::readFile(dir / "new"), "line\r\n");
    EXPECT_EQ(platform::createNewFile(dir / "new").code(), EEXIST);
}

TEST_F(Platform, ReplacingAFileKeepsItsPermissionsAndAFailureKeepsItWhole) {
    test::writeFile(dir / "f", "old");
    ASSERT_EQ(chmod((dir / "f").c_str(), 0600), 0);
    const Result<platform::FileStamp> stamp = platform::replaceFile(dir / "f", "new");
    ASSERT_TRUE(stamp) << stamp.reason();
    EXPECT_EQ(test::readFile(dir / "f"), "new");
    EXPECT_EQ(*stamp, platform::readWholeFile(dir / "f")->stamp);
    EXPECT_EQ(fs::status(dir / "f").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    for (const Call call : {Call::Open, Call::Write, Call::Sync, Call::Rename}) {
        platform::faults::failNext(call, ENOSPC);
        const Result<platform::FileStamp> failed = platform::replaceFile(dir / "f", "lost");
        EXPECT_EQ(failed.code(), ENOSPC);
        EXPECT_EQ(failed.reason(), platform::errorText(ENOSPC));
    }
    EXPECT_EQ(test::readFile(dir / "f"), "new");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    ASSERT_EQ(mkfifo((dir / "p").c_str(), 0644), 0);
    EXPECT_FALSE(platform::replaceFile(dir / "p", "x"));
    EXPECT_TRUE(fs::is_fifo(dir / "p"));
    EXPECT_FALSE(platform::replaceFile(dir / "missing" / "f", "x"));
}

TEST_F(Platform, ALockCreatesAMissingFileReadsItAndRefusesAPipe) {
    {
        Result<platform::FileLock> lock = platform::FileLock::acquire(dir / "f");
        ASSERT_TRUE(lock) << lock.reason();
        EXPECT_TRUE(fs::is_regular_file(dir / "f"));
        EXPECT_EQ(lock->read()->bytes, "");
    }
    ASSERT_EQ(mkfifo((dir / "p").c_str(), 0644), 0);
    EXPECT_FALSE(platform::FileLock::acquire(dir / "p"));
    fs::create_directory(dir / "d");
    EXPECT_EQ(platform::FileLock::acquire(dir / "d").code(), EISDIR);
    platform::faults::failNext(Call::Lock, ENOLCK);
    EXPECT_EQ(platform::FileLock::acquire(dir / "f").code(), ENOLCK);
}

TEST_F(Platform, TheTestHookFailsOnlyTheNextCallAndCountsEveryCall) {
    platform::faults::failNext(Call::Write, EIO);
    Result<platform::File> file = platform::createNewFile(dir / "f");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->write("a").code(), EIO);
    EXPECT_TRUE(file->write("b"));
    EXPECT_EQ(platform::faults::count(Call::Write), 2);
    EXPECT_EQ(platform::faults::count(Call::Open), 1);
    EXPECT_TRUE(file->close());
    EXPECT_EQ(test::readFile(dir / "f"), "b");
}

TEST_F(Platform, ClosedStandardStreamsAreOpenedOnTheNullDevice) {
    const int saved = dup(STDIN_FILENO);
    ASSERT_GE(saved, 0);
    close(STDIN_FILENO);
    platform::ensureStandardStreams();
    struct stat in {};
    struct stat null {};
    const bool open = fstat(STDIN_FILENO, &in) == 0;
    ASSERT_EQ(stat("/dev/null", &null), 0);
    dup2(saved, STDIN_FILENO);
    close(saved);
    ASSERT_TRUE(open);
    EXPECT_EQ(in.st_rdev, null.st_rdev);
}

TEST_F(Platform, LibrariesAreLoadedAndTheirFunctionsFound) {
    const Result<void*> math = platform::loadLibrary("libm.so.6");
    ASSERT_TRUE(math) << math.reason();
    using Cosine = double (*)(double);
    const auto cosine = reinterpret_cast<Cosine>(platform::findFunction(*math, "cos"));
    ASSERT_NE(cosine, nullptr);
    EXPECT_EQ(cosine(0.0), 1.0);
    EXPECT_EQ(platform::findFunction(*math, "no_such_function"), nullptr);
    const Result<void*> missing = platform::loadLibrary("libno-such-library.so");
    EXPECT_FALSE(missing);
    EXPECT_NE(missing.reason().find("libno-such-library.so"), std::string::npos);
}

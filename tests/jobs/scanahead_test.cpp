#include "jobs/scanahead.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "support/tempdir.h"

namespace lianshuo {
namespace {

TEST(ScanAhead, GivesEveryFileInOrderWithItsEncodingAndAddressesAndLeavesLargeOnesOut) {
    test::TempDir dir;
    std::vector<std::filesystem::path> files;
    for (int n = 0; n < 20; ++n) {
        files.push_back(dir / ("p" + std::to_string(n) + ".htm"));
        // Even pages UTF-8 (a Chinese word), odd ones GBK.
        test::writeFile(files.back(), (n % 2 == 0 ? "\xE5\x95\x86 " : "\xC9\xCC ") +
                                          std::string("http://a.test/") + std::to_string(n) +
                                          " and https://b.test/x");
    }
    files.push_back(dir / "missing.htm");
    files.push_back(dir / "large.htm");
    test::writeFile(files.back(), std::string(200, 'x') + " http://a.test/large");

    ScanAhead ahead(files, 100);
    for (int n = 0; n < 20; ++n) {
        const ScannedFile file = ahead.next();
        ASSERT_TRUE(file.scanned) << n;
        EXPECT_TRUE(file.read) << file.read.reason();
        EXPECT_EQ(file.utf8, n % 2 == 0) << n;
        ASSERT_EQ(file.addresses.size(), 2u) << n;
        EXPECT_EQ(file.addresses[0].first, n % 2 == 0 ? 4u : 3u);
        EXPECT_EQ(file.addresses[0].second, "http://a.test/" + std::to_string(n));
        EXPECT_EQ(file.addresses[1].second, "https://b.test/x");
    }
    const ScannedFile missing = ahead.next();
    EXPECT_TRUE(missing.scanned);
    EXPECT_EQ(missing.read.code(), ENOENT);
    // One too large is the caller's to scan.
    EXPECT_FALSE(ahead.next().scanned);
}

TEST(ScanAhead, StopsWhenGoneBeforeTheFilesAreTaken) {
    test::TempDir dir;
    std::vector<std::filesystem::path> files;
    for (int n = 0; n < 50; ++n) {
        files.push_back(dir / ("p" + std::to_string(n) + ".htm"));
        test::writeFile(files.back(), "http://a.test/" + std::to_string(n));
    }
    ScanAhead ahead(files);
    EXPECT_EQ(ahead.next().addresses.at(0).second, "http://a.test/0");
    // Leaving with 49 files untaken must neither hang nor scan them all.
}

}  // namespace
}  // namespace lianshuo

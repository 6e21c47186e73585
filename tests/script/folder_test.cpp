#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/paths.h"
#include "script/folderlisting.h"

using namespace lianshuo;

namespace {

class FolderListing : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = std::filesystem::temp_directory_path() /
                ("lianshuo_script_" +
                 std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    std::string gbk(const std::string& name = {}) const { return gbkPath(root_ / name); }
    void touch(const std::string& gbkName) const {
        std::ofstream(root_ / nativePath(gbkName)) << "x";
    }

    std::filesystem::path root_;
};

}  // namespace

TEST_F(FolderListing, ListsFilesOrFoldersByNameWithoutPath) {
    EXPECT_TRUE(listFolderItems(gbk(), false).empty());
    EXPECT_TRUE(listFolderItems(gbk(), true).empty());

    touch("b.txt");
    touch("A.txt");
    touch("\xD6\xD0\xCE\xC4.txt");  // a Chinese name comes back as GBK
    std::filesystem::create_directory(root_ / nativePath("\xD7\xD3"));
    std::filesystem::create_directory(root_ / "sub");
    EXPECT_EQ(listFolderItems(gbk(), false),
              (std::vector<std::string>{"A.txt", "b.txt", "\xD6\xD0\xCE\xC4.txt"}));
    EXPECT_EQ(listFolderItems(gbk(), true), (std::vector<std::string>{"sub", "\xD7\xD3"}));
    EXPECT_TRUE(listFolderItems(gbk("sub"), false).empty());
}

TEST_F(FolderListing, APathThatIsNoFolderListsNothing) {
    touch("f.txt");
    EXPECT_TRUE(listFolderItems(gbk("f.txt"), false).empty());
    EXPECT_TRUE(listFolderItems(gbk("missing"), true).empty());
    EXPECT_TRUE(listFolderItems("", false).empty());
}

TEST(FileMask, StarQuestionMarkAndCase) {
    EXPECT_TRUE(matchesFileMask("README", "*.*"));
    EXPECT_TRUE(matchesFileMask("a.b.c", "*.*"));
    EXPECT_TRUE(matchesFileMask("abc", "a*.*"));
    EXPECT_TRUE(matchesFileMask("Index.HTM", "*.htm"));
    EXPECT_FALSE(matchesFileMask("index.html", "*.htm"));
    EXPECT_TRUE(matchesFileMask("abc", "a?c"));
    EXPECT_FALSE(matchesFileMask("ac", "a?c"));
    EXPECT_TRUE(
        matchesFileMask("a\xD6\xD0"
                        "c",
                        "a?c"));                            // one character of two bytes
    EXPECT_FALSE(matchesFileMask("\xD6\xD0", "\xF6\xF0"));  // no case change beyond ASCII
    EXPECT_TRUE(matchesFileMask("x.txt", "*"));
    EXPECT_FALSE(matchesFileMask("x.txt", "*.ini"));
    EXPECT_TRUE(matchesFileMask("aXbXc.log", "a*b*c.LOG"));
}

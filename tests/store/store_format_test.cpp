#include <gtest/gtest.h>

#include "store/controlstatestore.h"
#include "support/tempdir.h"

using namespace lianshuo;
using test::readFile;
using test::writeFile;

namespace {

class StoreFormat : public ::testing::Test {
protected:
    std::string file() const { return (dir / "s.ini").string(); }
    std::string disk() const { return readFile(dir / "s.ini"); }
    void bindWith(const std::string& bytes) {
        writeFile(dir / "s.ini", bytes);
        ASSERT_TRUE(store.bindFile(file()));
    }
    test::TempDir dir;
    ControlStateStore store;
};

}  // namespace

TEST_F(StoreFormat, NewKeysGoUnderTheirHeaderNewestFirstWithoutAFinalLineBreak) {
    ASSERT_TRUE(store.bindFile(file()));
    EXPECT_EQ(disk(), "");
    store.selectSection("基本配置");
    EXPECT_TRUE(store.writeText("甲", "1"));
    EXPECT_TRUE(store.writeNumber("乙", 2));
    EXPECT_EQ(disk(), "[基本配置]\r\n乙=2\r\n甲=1");
    store.selectSection("second");
    EXPECT_TRUE(store.writeBool("flag", true));
    EXPECT_EQ(disk(), "[基本配置]\r\n乙=2\r\n甲=1\r\n[second]\r\nflag=真");
    EXPECT_EQ(store.content(), disk());
}

TEST_F(StoreFormat, ValueEncodings) {
    ASSERT_TRUE(store.bindFile(file()));
    store.selectSection("s");
    store.writeText("text", "line1\r\nline2");
    store.writeNumber("n", 0.1 + 0.2);
    store.writeNumber("whole", 1e6);
    store.writeNumber("neg", -3.5);
    store.writeBool("no", false);
    EXPECT_EQ(disk(),
              "[s]\r\nno=假\r\nneg=-3.5\r\nwhole=1000000\r\nn=0.3\r\ntext=line1┊*┊line2");
    EXPECT_EQ(store.readText("text"), "line1\r\nline2");
    EXPECT_DOUBLE_EQ(store.readNumber("neg"), -3.5);
    EXPECT_FALSE(store.readBool("no", true));
    EXPECT_TRUE(store.readBool("missing", true));
    EXPECT_EQ(store.readText("missing", "def"), "def");
}

TEST_F(StoreFormat, ReadingFollowsTheSectionRules) {
    bindWith("x[a]\r\nk=wrong\r\n[a]\r\nempty=\r\nbool=yes\r\nnum=12abc\r\n[b]\r\nonlyb=1\r\n[a]x\r\nk=3");
    store.selectSection("a");
    EXPECT_EQ(store.readText("k", "d"), "d");  // "[a]" after other text is no header;
    // the real section ends at [b], so a later k= is not its own either.
    EXPECT_EQ(store.readText("empty", "d"), "d");
    EXPECT_FALSE(store.readBool("bool", true));
    EXPECT_EQ(store.readNumber("num"), 12);
    EXPECT_EQ(store.readText("onlyb", "none"), "none");
    store.selectSection("b");
    EXPECT_EQ(store.readText("onlyb"), "1");
    store.selectSection("nope");
    EXPECT_EQ(store.readNumber("k", 7), 7);
}

TEST_F(StoreFormat, RewritingAValueLeavesEveryOtherByteUnchanged) {
    const std::string before = "; comment\r\n[a]\r\nk=old\r\nz= spaced \r\n\r\n[b]\r\nk=b";
    bindWith(before);
    store.selectSection("a");
    ASSERT_TRUE(store.writeText("k", "a much longer value"));
    EXPECT_EQ(disk(), "; comment\r\n[a]\r\nk=a much longer value\r\nz= spaced \r\n\r\n[b]\r\nk=b");
    ASSERT_TRUE(store.writeText("k", "s"));
    EXPECT_EQ(disk(), "; comment\r\n[a]\r\nk=s\r\nz= spaced \r\n\r\n[b]\r\nk=b");
    // A key that exists only in a later section is a new key in this one.
    store.selectSection("a");
    ASSERT_TRUE(store.writeText("only", "1"));
    EXPECT_EQ(disk(), "; comment\r\n[a]\r\nonly=1\r\nk=s\r\nz= spaced \r\n\r\n[b]\r\nk=b");
}

TEST_F(StoreFormat, NoFinalLineBreakAndLastValueRunsToTheEnd) {
    bindWith("[a]\r\nk=v");
    store.selectSection("a");
    EXPECT_EQ(store.readText("k"), "v");
    ASSERT_TRUE(store.writeText("k", "vv"));
    EXPECT_EQ(disk(), "[a]\r\nk=vv");
}

TEST_F(StoreFormat, DeleteCodesAndRanges) {
    bindWith("[a]\r\nk=1\r\nj=2\r\n[b]\r\nx=3\r\n[c]\r\ny=4");
    EXPECT_EQ(store.deleteEntry("zz", ""), 1);
    EXPECT_EQ(store.deleteEntry("a", "missing"), 2);
    EXPECT_EQ(store.deleteEntry("a", "x"), 2);  // x lives in the next section
    EXPECT_EQ(store.deleteEntry("a", "k"), 0);
    EXPECT_EQ(disk(), "[a]\r\nj=2\r\n[b]\r\nx=3\r\n[c]\r\ny=4");
    EXPECT_EQ(store.deleteEntry("b", ""), 0);
    EXPECT_EQ(disk(), "[a]\r\nj=2\r\n[c]\r\ny=4");
    EXPECT_EQ(store.deleteEntry("c", ""), 0);
    EXPECT_EQ(disk(), "[a]\r\nj=2\r\n");
    EXPECT_EQ(store.content(), disk());
}

TEST_F(StoreFormat, ListSectionsFiltersHeaderLinesInFileOrder) {
    bindWith("[短网址选项_a.test]\r\nk=1\r\nx[短网址选项_no]\r\n[基本配置]\r\n[短网址选项_b.test]");
    EXPECT_EQ(store.listSections("短网址选项_"),
              (std::vector<std::string>{"短网址选项_a.test", "短网址选项_b.test"}));
    EXPECT_EQ(store.listSections({}, "短网址选项_"), std::vector<std::string>{"基本配置"});
}

TEST_F(StoreFormat, AMissingFileIsCreatedAndAnUnwritableOneKeepsChangesInMemory) {
    ControlStateStore other;
    EXPECT_TRUE(store.bindFile(file()));
    EXPECT_TRUE(std::filesystem::exists(dir / "s.ini"));
    // A second store on the same file is denied: it may read, not write.
    store.selectSection("a");
    ASSERT_TRUE(store.writeText("k", "1"));
    EXPECT_FALSE(other.bindFile(file()));
    other.selectSection("a");
    EXPECT_EQ(other.readText("k"), "1");
    EXPECT_FALSE(other.writeText("k", "2"));
    EXPECT_EQ(other.readText("k"), "2");
    EXPECT_EQ(disk(), "[a]\r\nk=1");
}

TEST_F(StoreFormat, NumbersThatAreNotNumbersReadAsZero) {
    EXPECT_EQ(ControlStateStore::parseNumber("abc"), 0);
    EXPECT_EQ(ControlStateStore::parseNumber(" 1.5 "), 1.5);
    EXPECT_EQ(ControlStateStore::parseNumber("+2"), 2);
    EXPECT_EQ(ControlStateStore::formatNumber(1234567890123456.0), "1.234567890123e+15");
}

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
    EXPECT_TRUE(store.writeText("text", "line1\r\nline2"));
    EXPECT_TRUE(store.writeNumber("n", 0.1 + 0.2));
    EXPECT_TRUE(store.writeNumber("whole", 1e6));
    EXPECT_TRUE(store.writeNumber("neg", -3.5));
    EXPECT_TRUE(store.writeBool("no", false));
    EXPECT_EQ(disk(), "[s]\r\nno=假\r\nneg=-3.5\r\nwhole=1000000\r\nn=0.3\r\ntext=line1┊*┊line2");
    EXPECT_EQ(store.readText("text"), "line1\r\nline2");
    EXPECT_DOUBLE_EQ(store.readNumber("neg"), -3.5);
    EXPECT_FALSE(store.readBool("no", true));
    EXPECT_TRUE(store.readBool("missing", true));
    EXPECT_EQ(store.readText("missing", "def"), "def");
}

TEST_F(StoreFormat, ReadingFollowsTheSectionRules) {
    bindWith(
        "x[a]\r\nk=wrong\r\n[a]\r\nempty=\r\nbool=yes\r\nnum=12abc\r\n[b]\r\nonlyb=1\r\n[a]x\r\nk="
        "3");
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

TEST_F(StoreFormat, DeletesRemoveOnlyWhatIsThereAndAMissingOneIsNoFailure) {
    bindWith("[a]\r\nk=1\r\nj=2\r\n[b]\r\nx=3\r\n[c]\r\ny=4");
    EXPECT_TRUE(store.deleteEntry("zz", ""));
    EXPECT_TRUE(store.deleteEntry("a", "missing"));
    EXPECT_TRUE(store.deleteEntry("a", "x"));  // x lives in the next section
    EXPECT_EQ(disk(), "[a]\r\nk=1\r\nj=2\r\n[b]\r\nx=3\r\n[c]\r\ny=4");
    EXPECT_TRUE(store.deleteEntry("a", "k"));
    EXPECT_EQ(disk(), "[a]\r\nj=2\r\n[b]\r\nx=3\r\n[c]\r\ny=4");
    EXPECT_TRUE(store.deleteEntry("b", ""));
    EXPECT_EQ(disk(), "[a]\r\nj=2\r\n[c]\r\ny=4");
    EXPECT_TRUE(store.deleteEntry("c", ""));
    EXPECT_EQ(disk(), "[a]\r\nj=2\r\n");
    EXPECT_EQ(store.content(), disk());
}

TEST_F(StoreFormat, ListSectionsFiltersHeaderLinesInFileOrder) {
    bindWith("[短网址选项_a.test]\r\nk=1\r\nx[短网址选项_no]\r\n[基本配置]\r\n[短网址选项_b.test]");
    EXPECT_EQ(store.listSections("短网址选项_"),
              (std::vector<std::string>{"短网址选项_a.test", "短网址选项_b.test"}));
    EXPECT_EQ(store.listSections({}, "短网址选项_"), std::vector<std::string>{"基本配置"});
}

TEST_F(StoreFormat, AMissingFileIsCreatedByTheFirstWriteAndASecondStoreMayWriteToo) {
    ControlStateStore other;
    EXPECT_TRUE(store.bindFile(file()));
    EXPECT_FALSE(std::filesystem::exists(dir / "s.ini"));  // binding only reads
    store.selectSection("a");
    ASSERT_TRUE(store.writeText("k", "1"));
    EXPECT_TRUE(other.bindFile(file()));
    other.selectSection("a");
    EXPECT_EQ(other.readText("k"), "1");
    EXPECT_TRUE(other.writeText("k", "2"));
    EXPECT_EQ(other.readText("k"), "2");
    EXPECT_EQ(disk(), "[a]\r\nk=2");
}

TEST_F(StoreFormat, ABareLineFeedEndsALineWhereverTheStoreLooks) {
    bindWith("[a]\r\nk=1\nother=2\n[b]\nx=y\n");
    store.selectSection("a");
    EXPECT_EQ(store.readText("other"), "2");
    EXPECT_EQ(store.readText("x", "none"), "none");  // it belongs to [b]
    ASSERT_TRUE(store.writeText("k", "changed"));
    EXPECT_EQ(disk(), "[a]\r\nk=changed\nother=2\n[b]\nx=y\n");
    store.selectSection("b");
    EXPECT_EQ(store.readText("x"), "y");
    ASSERT_TRUE(store.writeText("new", "1"));  // what the store adds ends with CR LF
    EXPECT_EQ(disk(), "[a]\r\nk=changed\nother=2\n[b]\r\nnew=1\nx=y\n");
    EXPECT_TRUE(store.deleteEntry("a", "other"));
    EXPECT_EQ(disk(), "[a]\r\nk=changed\n[b]\r\nnew=1\nx=y\n");
    EXPECT_TRUE(store.deleteEntry("a", ""));
    EXPECT_EQ(disk(), "[b]\r\nnew=1\nx=y\n");
    EXPECT_EQ(store.listSections(), std::vector<std::string>{"b"});
}

TEST_F(StoreFormat, AKeyAddedByHandWithLineFeedsIsRead) {
    bindWith("[基本配置]\r\n短网址索引=2\r\n[内置服务]\n百度主机=dwz.example\n新浪主机=t.example");
    store.selectSection("内置服务");
    EXPECT_EQ(store.readText("百度主机"), "dwz.example");
    EXPECT_EQ(store.readText("新浪主机"), "t.example");
}

TEST_F(StoreFormat, EveryLineBreakOfATextIsStoredAsTheMarker) {
    ASSERT_TRUE(store.bindFile(file()));
    store.selectSection("s");
    // A lone CR or LF would end the line early and let "[x]" start a section.
    ASSERT_TRUE(store.writeText("t", "a\nb\r[x]\r\nc"));
    EXPECT_EQ(disk(), "[s]\r\nt=a┊*┊b┊*┊[x]┊*┊c");
    EXPECT_EQ(store.readText("t"), "a\r\nb\r\n[x]\r\nc");
    EXPECT_EQ(store.listSections(), std::vector<std::string>{"s"});
}

TEST_F(StoreFormat, NamesThatWouldStartALineOrEndAHeaderEarlyAreRefused) {
    ASSERT_TRUE(store.bindFile(file()));
    store.selectSection("s");
    EXPECT_FALSE(store.writeText("a=b", "1"));  // would read back as a = "b=1"
    EXPECT_FALSE(store.writeText("[x", "]"));   // the line "[x=]" would be a header
    EXPECT_FALSE(store.writeText("k\n[evil]", "1"));
    store.selectSection("s]\r\n[evil");
    const Status refused = store.writeText("k", "1");
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.reason(), "");
    EXPECT_FALSE(std::filesystem::exists(dir / "s.ini"));
}

TEST_F(StoreFormat, AHeaderIsAWholeLineForFindingAsForEndingASection) {
    bindWith("[b]\r\nx=y\r\n[c]text\r\nq=1");
    store.selectSection("c");
    ASSERT_TRUE(store.writeText("z", "1"));
    // "[c]text" ends no section, so it starts none: the key goes into a real [c].
    EXPECT_EQ(disk(), "[b]\r\nx=y\r\n[c]text\r\nq=1\r\n[c]\r\nz=1");
    store.selectSection("b");
    EXPECT_EQ(store.readText("z", "none"), "none");
    EXPECT_EQ(store.readText("q"), "1");
}

TEST_F(StoreFormat, KeysThatCannotBeStoredAreNeverFound) {
    bindWith("[s]\r\nk=a=b\r\n[=v]\r\nz=1");
    store.selectSection("s");
    EXPECT_EQ(store.readText("[", "d"), "d");  // would read the header "[=v]"
    EXPECT_EQ(store.readText("k=a", "d"), "d");
    EXPECT_EQ(store.readText("k"), "a=b");
}

TEST_F(StoreFormat, NumbersThatAreNotNumbersReadAsZero) {
    EXPECT_EQ(ControlStateStore::parseNumber("abc"), 0);
    EXPECT_EQ(ControlStateStore::parseNumber(" 1.5 "), 1.5);
    EXPECT_EQ(ControlStateStore::parseNumber("+2"), 2);
    EXPECT_EQ(ControlStateStore::formatNumber(1234567890123456.0), "1.234567890123e+15");
}

// Which copies the clipboard watch converts, and in what order.

#include <gtest/gtest.h>

#include "jobs/clipboardwatch.h"
#include "services/builtinhosts.h"

using namespace lianshuo;
using Verdict = ClipboardWatch::Verdict;

namespace {
ClipboardWatch watchWithHosts() {
    BuiltinHosts hosts = defaultBuiltinHosts();
    hosts.tinyurl = "https://tiny.example.test:8080";  // as a user may set "国外主机"
    return ClipboardWatch(ClipboardWatch::knownShortHosts(hosts));
}
}  // namespace

TEST(ClipboardWatch, ConvertsOneLongAddressOnlyAndNeverItsOwnResult) {
    ClipboardWatch watch = watchWithHosts();
    EXPECT_EQ(watch.judge("  https://www.example.test/a/long/path?q=1\r\n"), Verdict::Convert);
    EXPECT_EQ(watch.judge("\xA1\xA1http://example.test/x\xA1\xA1"), Verdict::Convert);

    EXPECT_EQ(watch.judge("http://a.test/1\nhttp://a.test/2"), Verdict::NotOneAddress);
    EXPECT_EQ(watch.judge("see http://a.test/1"), Verdict::NotOneAddress);
    EXPECT_EQ(watch.judge("www.example.test/page"), Verdict::NotOneAddress);
    EXPECT_EQ(watch.judge("hello"), Verdict::NotOneAddress);
    EXPECT_EQ(watch.judge(""), Verdict::NotOneAddress);

    for (const char* shortOne :
         {"https://dwz.cn/abc", "http://t.cn/R1", "https://tinyurl.com/y2", "https://BIT.LY/3x",
          "https://www.bit.ly/3x", "https://is.gd/a", "https://v.gd/a", "https://da.gd/a",
          "https://t.ly/a", "https://dub.sh/a", "https://spoo.me/a", "https://cleanuri.com/a",
          "https://tiny.example.test/q"})
        EXPECT_EQ(watch.judge(shortOne), Verdict::AlreadyShort) << shortOne;
    // A host that only ends like a short one is not one.
    EXPECT_EQ(watch.judge("https://habit.ly/page"), Verdict::Convert);

    ASSERT_EQ(watch.offer("https://www.example.test/long"), Verdict::Convert);
    ASSERT_EQ(watch.next(), "https://www.example.test/long");
    watch.finished(std::string("https://s.example.test/r1"));
    EXPECT_EQ(watch.offer("https://s.example.test/r1\n"), Verdict::OwnResult);
    watch.ownCopy("https://s.example.test/row7\r\n");
    EXPECT_EQ(watch.offer("https://s.example.test/row7"), Verdict::OwnResult);
    EXPECT_EQ(watch.waiting(), 0u);
    EXPECT_FALSE(watch.next());
}

TEST(ClipboardWatch, CopiesMadeWhileOneConvertsWaitTheirTurnInOrder) {
    ClipboardWatch watch = watchWithHosts();
    watch.offer("https://a.example.test/1");
    ASSERT_EQ(watch.next(), "https://a.example.test/1");
    watch.offer("https://a.example.test/2");
    watch.offer("https://a.example.test/3");
    watch.offer("https://a.example.test/2");  // told twice of one copy
    watch.offer("https://a.example.test/1");  // the one under way
    EXPECT_EQ(watch.waiting(), 2u);
    EXPECT_FALSE(watch.next()) << "one converts at a time";

    watch.finished(std::nullopt);
    EXPECT_EQ(watch.next(), "https://a.example.test/2");
    watch.finished(std::string("https://s.example.test/r2"));
    EXPECT_EQ(watch.next(), "https://a.example.test/3");
    watch.finished(std::string("https://s.example.test/r3"));
    EXPECT_FALSE(watch.next());
    EXPECT_FALSE(watch.converting());
}

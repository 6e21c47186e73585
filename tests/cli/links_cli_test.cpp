// Short addresses on the command line: left as they are by convert, expanded
// by expand, and moved to the chosen service by files --migrate-from, against
// local short-link hosts whose addresses redirect.

#include "cli_fixture.h"
#include "history/conversionhistory.h"
#include "services/shortaddresses.h"

namespace lianshuo::test {
namespace {

// A retired short-link host: "/r1" and "/r2" redirect to "http://a.test/1" and "…/2",
// "/chain" goes on through "localhost" (another host name of the same server), "/loop"
// comes back to itself, "/page" is a page, anything else 404.
void serveRedirects(TestServer& old) {
    const std::string other = "http://localhost:" + std::to_string(old.port());
    old.route("/r1", [](Exchange& e) { e.answer(301, "", {"Location: http://a.test/1"}); });
    old.route("/r2", [](Exchange& e) { e.answer(302, "", {"Location: http://a.test/2"}); });
    old.route("/chain",
              [other](Exchange& e) { e.answer(302, "", {"Location: " + other + "/r2"}); });
    old.route("/loop", [](Exchange& e) { e.answer(302, "", {"Location: /loop"}); });
    old.route("/page", [](Exchange& e) { e.answer(200, "<html>ad</html>"); });
}

}  // namespace

TEST_F(CommandLine, ConvertLeavesShortAddressesAsTheyAreUnlessAskedNotTo) {
    auto r = run({"convert", "--no-save", "http://t.cn/abc", "http://a.test/1"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "http://t.cn/abc\thttp://t.cn/abc\nhttp://s.test/1\thttp://a.test/1\n");
    EXPECT_EQ(server.requests().size(), 1u);
    r = run({"convert", "--no-save", "--json", "https://bit.ly/x"});
    EXPECT_EQ(r.out, utf8("{\"long\":\"https://bit.ly/x\",\"short\":\"https://bit.ly/x\","
                          "\"skipped\":\"已是短网址\"}\n"));
    r = run({"convert", "--no-save", "--shorten-short", "http://t.cn/abc"});
    EXPECT_EQ(r.out, "http://s.test/c\thttp://t.cn/abc\n");
    EXPECT_EQ(server.requests().size(), 2u);
}

TEST_F(CommandLine, ExpandFollowsRedirectsOnceThenTakesTheHistory) {
    TestServer old;
    serveRedirects(old);
    const std::string hosts = "localhost:" + std::to_string(old.port());
    auto r = run({"expand", "--hosts", hosts, old.url("/chain"), old.url("/loop"), old.url("/page"),
                  old.url("/gone")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "http://a.test/2\t" + old.url("/chain") + "\n" + utf8("生成错误") + "\t" +
                         old.url("/loop") + "\n" + utf8("生成错误") + "\t" + old.url("/page") +
                         "\n" + utf8("生成错误") + "\t" + old.url("/gone") + "\n");
    EXPECT_NE(r.err.find(utf8("失败: " + old.url("/loop") + ": 请求失败：重定向成环：")),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find(utf8("失败: " + old.url("/page") + ": HTTP 200：没有重定向")),
              std::string::npos);
    EXPECT_NE(r.err.find(utf8("失败: " + old.url("/gone") + ": HTTP 404：短网址无效")),
              std::string::npos);
    EXPECT_TRUE(server.requests().empty());  // the service is never asked

    const std::size_t asked = old.requests().size();
    r = run({"expand", "--json", old.url("/chain")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "{\"short\":\"" + old.url("/chain") +
                         "\",\"long\":\"http://a.test/2\",\"history\":true}\n");
    EXPECT_EQ(old.requests().size(), asked);
}

TEST_F(CommandLine, FilesMigrateMovesARetiredHostsAddressesAndKeepsWhatCannotMove) {
    TestServer old;
    serveRedirects(old);
    {
        // The history knows /k1 from an earlier expansion; its host no longer answers for it.
        ConversionHistory history;
        ASSERT_TRUE(history.open(historyFilePath(settings())));
        ASSERT_TRUE(
            history.record(expandedHistoryKey(old.url("/k1")), "http://a.test/1", old.url("/k1")));
    }
    fs::create_directory(dir / "pages");
    const std::string page = "<a href=\"" + old.url("/k1") + "\">1</a> " + old.url("/r2") + " " +
                             old.url("/gone") + " http://keep.test/9 http://t.cn/x";
    test::writeFile(dir / "pages" / "a.htm", page);
    const auto r = run({"files", "--no-white", "--migrate-from",
                        "127.0.0.1:" + std::to_string(old.port()), (dir / "pages").string()});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(utf8("失败: " + old.url("/gone") + ": HTTP 404：短网址无效")),
              std::string::npos)
        << r.err;
    const fs::path output = nativePath(gbkPath(dir / "pages") + "/处理结果");
    EXPECT_EQ(test::readFile(output / "a.htm"),
              "<a href=\"http://s.test/1\">1</a> http://s.test/2 " + old.url("/gone") +
                  " http://keep.test/9 http://t.cn/x");
    EXPECT_EQ(test::readFile(dir / "pages" / "a.htm"), page);
    for (const auto& request : old.requests()) EXPECT_NE(request.target, "/k1");
    EXPECT_EQ(server.requests().size(), 2u);  // the two long addresses, nothing else
}

}  // namespace lianshuo::test

// Short addresses asked where they lead, through the built program: convert --verify and
// history check against a service whose short addresses redirect.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>

#include "cli_fixture.h"
#include "support/fake_shortlinks.h"

using namespace lianshuo;
using test::CommandLine;
using test::utf8;
using Answer = test::FakeShortener::Answer;

namespace {

class CliLinks : public CommandLine {
protected:
    void SetUp() override {
        CommandLine::SetUp();
        // In place of the fixture's "/short", whose addresses lead nowhere.
        shortener.emplace(server);
    }
    std::vector<nlohmann::json> jsonLines(const std::string& out) {
        std::vector<nlohmann::json> lines;
        std::size_t start = 0;
        for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(nlohmann::json::parse(out.substr(start, end - start)));
        return lines;
    }

    std::optional<test::FakeShortener> shortener;
};

}  // namespace

TEST_F(CliLinks, ConvertVerifyFailsAWrongTargetAndKeepsOneThatCannotTell) {
    shortener->answer("wrong", Answer::Elsewhere);
    shortener->answer("page", Answer::Page);
    auto r = run({"convert", "--verify", "--json", "--no-save", "http://a.test/right",
                  "http://a.test/wrong", "http://a.test/page"});
    EXPECT_EQ(r.status, 1) << r.err;
    const auto lines = jsonLines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_EQ(lines[0]["verified"], true);
    EXPECT_EQ(lines[0]["target"], "http://a.test/right");
    EXPECT_TRUE(lines[0].contains("short"));
    EXPECT_FALSE(lines[1].contains("short"));
    EXPECT_EQ(lines[1]["verified"], false);
    EXPECT_EQ(lines[1]["target"], "http://parked.test/landing");
    EXPECT_EQ(lines[1]["error"]["message"], utf8("短网址指向了别处：http://parked.test/landing"));
    EXPECT_TRUE(lines[2].contains("short"));
    EXPECT_TRUE(lines[2]["verified"].is_null());
    EXPECT_TRUE(lines[2]["target"].is_null());
    EXPECT_NE(r.err.find(utf8("未能验证: http://a.test/page: 短网址没有跳转（HTTP 200）")),
              std::string::npos)
        << r.err;

    // The history's short address is asked too: the service may have dropped it since.
    shortener->answer("right", Answer::NotFound);
    server.clearRequests();
    r = run({"convert", "--verify", "--no-save", "http://a.test/right"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(utf8("失败: http://a.test/right: 短网址无效（HTTP 404）")),
              std::string::npos)
        << r.err;
    ASSERT_EQ(server.requests().size(), 1u);  // no conversion: the check alone
    EXPECT_EQ(server.requests()[0].method, "HEAD");
    // Without --verify the history answers as before.
    EXPECT_EQ(run({"convert", "--no-save", "http://a.test/right"}).status, 0);
}

TEST_F(CliLinks, HistoryCheckFindsTheLinksThatDiedAndKeepsWhatItFound) {
    const std::vector<std::string> longs = {"http://a.test/one", "http://a.test/two",
                                            "http://a.test/three", "http://a.test/four"};
    std::vector<std::string> args = {"convert", "--no-save"};
    args.insert(args.end(), longs.begin(), longs.end());
    ASSERT_EQ(run(args).status, 0);
    auto r = run({"history", "check", "--jobs", "3"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(utf8("有效 4，失效 0，指向别处 0，未能验证 0")), std::string::npos)
        << r.err;

    shortener->answer("two", Answer::NotFound);
    shortener->answer("three", Answer::Elsewhere);
    shortener->answer("four", Answer::Loop);
    r = run({"history", "check", "--jobs", "3"});
    EXPECT_EQ(r.status, 1) << r.err;
    const std::string s = server.url("/s/");
    EXPECT_EQ(r.out, utf8("有效\t" + s + "0\thttp://a.test/one\n" + "失效\t" + s +
                          "1\thttp://a.test/two\n" + "指向别处\t" + s + "2\thttp://a.test/three\n" +
                          "未能验证\t" + s + "3\thttp://a.test/four\n"));
    EXPECT_NE(r.err.find(utf8("有效 1，失效 1，指向别处 1，未能验证 1")), std::string::npos)
        << r.err;

    // The states stay with the rows: the listing and the export show them.
    r = run({"history", "list"});
    EXPECT_NE(r.out.find(utf8("\t失效\n")), std::string::npos) << r.out;
    ASSERT_EQ(run({"history", "export", (dir / "h.csv").string()}).status, 0);
    EXPECT_NE(test::readFile(dir / "h.csv").find(utf8(",指向别处,http://parked.test/landing,")),
              std::string::npos);
    // A filter that takes none of them checks nothing.
    r = run({"history", "check", "--since", "2999-01-01"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
}

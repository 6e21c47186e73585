#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "services/expansion.h"
#include "services/shortaddresses.h"
#include "support/test_server.h"

using namespace lianshuo;
using test::Exchange;

TEST(ShortAddresses, KnowsServiceHostsGivenHostsAndKeptAddressesOnly) {
    BuiltinHosts hosts = defaultBuiltinHosts();
    hosts.baidu = "https://S.Baidu.example:8443/";  // a host set by hand, written as an address
    ShortAddressBook book = standardShortAddresses(hosts);
    for (const char* known :
         {"http://t.cn/abc", "https://T.CN:443/x", "https://tinyurl.com/y", "https://bit.ly/z",
          "http://dub.sh/q?a=1", "https://cleanuri.com/k", "https://s.baidu.example:8443/p"})
        EXPECT_TRUE(book.isKnown(known)) << known;
    for (const char* other : {"https://example.com/t.cn", "https://api-ssl.bitly.com/v4",
                              "https://s.baidu.example/p", "ftp://t.cn/x", "t.cn/abc"})
        EXPECT_FALSE(book.isKnown(other)) << other;

    const Result<std::vector<std::string>> given = parseHostList(" s.example , go.test:8080");
    ASSERT_TRUE(given);
    for (const std::string& host : *given) book.addHost(host);
    EXPECT_TRUE(book.isKnown("http://s.example:81/1"));  // a host without a port: any port
    EXPECT_TRUE(book.isKnown("http://user@go.test:8080/2"));
    EXPECT_FALSE(book.isKnown("http://go.test/2"));
    EXPECT_FALSE(parseHostList("s.example,,x.test"));
    EXPECT_FALSE(parseHostList("https://s.example"));

    // A self-hosted service shares its host with ordinary pages: only its addresses are short.
    book.addAddress("https://Mine.example/r/1", "https://long.example/page");
    EXPECT_TRUE(book.isKnown("https://mine.example/r/1"));
    EXPECT_FALSE(book.isKnown("https://mine.example/about"));
    ASSERT_NE(book.longOf("https://mine.example/r/1"), nullptr);
    EXPECT_EQ(*book.longOf("https://mine.example/r/1"), "https://long.example/page");
}

TEST(ShortAddresses, ExpansionFollowsShortHostsToTheFirstOtherAndFailsWithTheReason) {
    test::TestServer first, second;
    const std::string secondHost = "localhost:" + std::to_string(second.port());
    first.route("/chain", [&](Exchange& e) {
        e.answer(301, "", {"Location: http://" + secondHost + "/hop"});
    });
    second.route("/hop", [](Exchange& e) {
        e.answer(302, "", {"Location: https://long.example.test/a?b=1#c"});
    });
    first.route("/own", [](Exchange& e) { e.answer(307, "", {"Location: /chain"}); });
    first.route("/loop", [](Exchange& e) { e.answer(302, "", {"Location: loop2"}); });
    first.route("/loop2", [](Exchange& e) { e.answer(302, "", {"Location: /loop"}); });
    first.route("/page", [](Exchange& e) { e.answer(200, "<html>interstitial</html>"); });
    ShortAddressBook book;
    book.addHost(secondHost);
    const auto expand = [&book](const std::string& url) {
        return expandByRedirects(url, book, {.retries = 0});
    };

    for (const char* path : {"/chain", "/own"}) {
        const ConversionOutcome chained = expand(first.url(path));
        ASSERT_TRUE(chained.ok()) << chained.reason();
        EXPECT_EQ(chained.shortUrl, "https://long.example.test/a?b=1#c");
    }
    // Without the second host known, its own address is the long one.
    EXPECT_EQ(expandByRedirects(first.url("/chain"), {}, {.retries = 0}).shortUrl,
              "http://" + secondHost + "/hop");
    EXPECT_EQ(expand(first.url("/loop")).reason(), "请求失败：重定向成环：" + first.url("/loop"));
    EXPECT_EQ(expand(first.url("/page")).reason(), "HTTP 200：没有重定向");
    EXPECT_EQ(expand(first.url("/gone")).reason(), "HTTP 404：短网址无效");
    for (const auto& request : first.requests()) EXPECT_EQ(request.method, "HEAD");
}

#include <gtest/gtest.h>

#include "fakeservices.h"
#include "services/linkcheck.h"
#include "services/shorturlconverter.h"
#include "support/fake_shortlinks.h"

using namespace lianshuo;
using Answer = test::FakeShortener::Answer;

TEST(Verify, EachWayAShortAddressLeadsEndsAsTheCheckSays) {
    test::TestServer server;
    test::FakeShortener shortener(server);
    test::FakeSource source;
    source.panel.address = shortener.interfaceAddress() + "#长网址#";
    source.panel.utf8Encoding = true;
    ShortUrlConverter converter(source, defaultBuiltinHosts());
    converter.setRetryPolicy({.retries = 0});
    converter.setVerify(true);
    converter.convertUrl("", ShortUrlConverter::kSnapshotAndLabel);

    struct Case {
        const char* marker;
        Answer answer;
        FailureKind failure;
        Verification verification;
        std::string reason;  // the failure's, or why it could not be verified
    };
    const Case cases[] = {
        {"right", Answer::Right, FailureKind::None, Verification::Verified, ""},
        {"hop", Answer::OwnHostHop, FailureKind::None, Verification::Verified, ""},
        {"head", Answer::HeadRefused, FailureKind::None, Verification::Verified, ""},
        {"elsewhere", Answer::Elsewhere, FailureKind::PointsElsewhere, Verification::Wrong,
         "短网址指向了别处：http://parked.test/landing"},
        {"notfound", Answer::NotFound, FailureKind::DeadLink, Verification::Wrong,
         "短网址无效（HTTP 404）"},
        {"gone", Answer::Gone, FailureKind::DeadLink, Verification::Wrong,
         "短网址无效（HTTP 410）"},
        {"page", Answer::Page, FailureKind::None, Verification::Unverifiable,
         "短网址没有跳转（HTTP 200）"},
        {"loop", Answer::Loop, FailureKind::None, Verification::Unverifiable,
         "短网址的跳转绕回了自己："},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.marker);
        shortener.answer(c.marker, c.answer);
        // Written as the service's redirect will not be: the comparison normalises both.
        const std::string longUrl = std::string("HTTP://Long.Test:80/%7e") + c.marker + "?q=%7e";
        const ConversionOutcome outcome = converter.convert(longUrl);
        EXPECT_EQ(outcome.failure, c.failure);
        EXPECT_EQ(outcome.verification, c.verification);
        if (c.failure != FailureKind::None) {
            EXPECT_EQ(outcome.reason(), c.reason);
            EXPECT_TRUE(outcome.shortUrl.empty());
        } else {
            EXPECT_EQ(outcome.shortUrl.rfind(server.url("/s/"), 0), 0u) << outcome.shortUrl;
            EXPECT_EQ(outcome.unverifiedReason.substr(0, c.reason.size()), c.reason);
        }
    }
    // Without verification the same wrong address is a success.
    converter.setVerify(false);
    EXPECT_TRUE(converter.convert("http://long.test/elsewhere2").ok());
}

TEST(Verify, AddressesCompareAfterNormalisation) {
    EXPECT_EQ(normalisedAddress("HTTPS://Example.COM:443"), "https://example.com/");
    EXPECT_EQ(normalisedAddress("http://a.test:8080/%7Euser/%2f%41?Q=%7e#F"),
              "http://a.test:8080/~user/%2FA?Q=%7e#F");
    EXPECT_NE(normalisedAddress("http://a.test/?q=1"), normalisedAddress("http://a.test/?Q=1"));
    EXPECT_NE(normalisedAddress("http://a.test/x"), normalisedAddress("https://a.test/x"));
}

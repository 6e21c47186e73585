#include <gtest/gtest.h>

#include <random>

#include "jobs/interval.h"
#include "jobs/urlreplace.h"

using namespace lianshuo;

TEST(WholeUrlReplacement, NeverRewritesTheStartOfALongerAddress) {
    const std::string text = "<a href=\"http://a.test/x\">http://a.test/xyz http://a.test/x</a>";
    EXPECT_EQ(replaceWholeUrl(text, "http://a.test/x", "http://s.test/1", false),
              "<a href=\"http://s.test/1\">http://a.test/xyz http://s.test/1</a>");
}

TEST(WholeUrlReplacement, WhatMayFollowAndPrecedeAnAddress) {
    const std::string u = "http://a.test/x";
    EXPECT_EQ(replaceWholeUrl(u, u, "S", true), "S");  // end of text
    EXPECT_EQ(replaceWholeUrl(u + "\r\n" + u + "'" + u + "<", u, "S", true), "S\r\nS'S<");
    EXPECT_EQ(replaceWholeUrl(u + "/more", u, "S", true), u + "/more");
    EXPECT_EQ(replaceWholeUrl("x" + u, u, "S", true), "x" + u);     // part of "xhttp://"
    EXPECT_EQ(replaceWholeUrl("_" + u, u, "S", true), "_" + u);     // "_" is a scheme byte here
    EXPECT_EQ(replaceWholeUrl("=" + u + " ", u, "S", true), "=S ");
    // A CJK ideograph ends an address; other characters may continue it.
    EXPECT_EQ(replaceWholeUrl(u + "\xE4\xB8\xAD", u, "S", true), "S\xE4\xB8\xAD");  // 中 in UTF-8
    EXPECT_EQ(replaceWholeUrl(u + "\xD6\xD0", u, "S", false), "S\xD6\xD0");          // 中 in GBK
    EXPECT_EQ(replaceWholeUrl(u + "\xEF\xBC\x8C", u, "S", true), u + "\xEF\xBC\x8C");  // full-width comma
}

TEST(WholeUrlReplacement, GbkCharactersAreNeverSplit) {
    // 0x81 0x68 is one character whose second byte is the letter "h": the
    // "http" that seems to start there is no address.
    const std::string text = "\x81http://a.test/x \xD6\xD0http://a.test/x";
    EXPECT_EQ(replaceWholeUrl(text, "http://a.test/x", "S", false), "\x81http://a.test/x \xD6\xD0S");
    // Before an address, a double-byte character whose second byte is a letter is not a scheme letter.
    EXPECT_EQ(replaceWholeUrl("\x81\x41http://a.test/x", "http://a.test/x", "S", false), "\x81\x41S");
}

TEST(Interval, PauseBoundsFollowTheTypedSeconds) {
    std::mt19937 random(1);
    for (int i = 0; i < 200; ++i) {
        const long long ms = pauseMilliseconds("1.5", random);
        ASSERT_GE(ms, 1500);
        ASSERT_LE(ms, 1650);
    }
    EXPECT_EQ(pauseMilliseconds("-3", random), 0);
    EXPECT_EQ(pauseMilliseconds("abc", random), 0);
    EXPECT_EQ(pauseMilliseconds("0", random), 0);
    EXPECT_GE(pauseMilliseconds("2s", random), 2000);  // the leading number counts
    EXPECT_LE(pauseMilliseconds("1e300", random), 3.2e7 * 1100);
}

#include <gtest/gtest.h>

#include "services/addedquery.h"
#include "services/conversionoutcome.h"
#include "services/encoding.h"

using namespace lianshuo;

TEST(PercentEncoding, LongUrlKeepsOnlyLettersDigitsDotUnderscoreHyphen) {
    EXPECT_EQ(percentEncodeLongUrl("http://a.test/?q=中", false),
              "http%3A%2F%2Fa.test%2F%3Fq%3D%D6%D0");
    EXPECT_EQ(percentEncodeLongUrl("http://a.test/?q=中", true),
              "http%3A%2F%2Fa.test%2F%3Fq%3D%E4%B8%AD");
    EXPECT_EQ(percentEncodeLongUrl("a_b-c.d~ e", true), "a_b-c.d%7E%20e");
    EXPECT_EQ(percentEncodeLongUrl("", true), "");
}

TEST(PercentEncoding, ComponentKeepsTheUnreservedMarks) {
    EXPECT_EQ(percentEncodeComponent("a b!~中", true), "a%20b!%7E%E4%B8%AD");
    EXPECT_EQ(percentEncodeComponent("(x)*'/:?&=", false), "(x)*%27%2F%3A%3F%26%3D");
}

// Bytes that are no GBK character go out as %XX of the byte, so no address
// is cut short and no two addresses become one.
TEST(PercentEncoding, EveryByteOfTheLongUrlGoesOutDistinct) {
    EXPECT_EQ(percentEncodeComponent("h://d\x81\x30z", true), "h%3A%2F%2Fd%25810z");
    EXPECT_EQ(percentEncodeComponent("a\xFF\x80\x81", true), "a%25FF%2580%2581");
    EXPECT_EQ(percentEncodeLongUrl("\xD6\xD0\xFF", true), "%E4%B8%AD%25FF");
    EXPECT_EQ(longUrlToUtf8("h://d\x81\x30z\xFF\xD6\xD0"), "h://d%810z%FF\xE4\xB8\xAD");
}

TEST(JsonText, UnescapeDecodesUnicodeQuotesAndSlashesOnly) {
    EXPECT_EQ(unescapeJsonText("http:\\/\\/s.test\\/ab\\u0031"), "http://s.test/ab1");
    EXPECT_EQ(unescapeJsonText("\\u4e2d\\u6587"), "中文");
    EXPECT_EQ(unescapeJsonText("a\\\"b\\nc\\\\d"), "a\"b\\nc\\\\d");
    EXPECT_EQ(unescapeJsonText("x\\u0000y"), "x\\u0000y");  // zero is not decoded
    EXPECT_EQ(unescapeJsonText("tail\\u12"), "tail\\u12");  // no room for a full escape
    EXPECT_EQ(unescapeJsonText("\\ud83d\\ude00"), "??");    // lone surrogates
}

TEST(JsonText, EscapeMakesAnyAddressASafeJsonString) {
    EXPECT_EQ(escapeJsonString("http://a.test/?q=\"x\",\"Admin\":true"),
              "http://a.test/?q=\\\"x\\\",\\\"Admin\\\":true");
    EXPECT_EQ(escapeJsonString("a\\b\r\n"), "a\\\\b\\u000d\\u000a");
    EXPECT_EQ(escapeJsonString("\xD3\x5C"), "\xD3\x5C");  // a character ending in a backslash byte
    EXPECT_EQ(escapeJsonString("\x89\x02"), "\x89\\u0002");  // a lead byte before a control byte
}

TEST(ConversionResult, OnlyWebAddressesCount) {
    EXPECT_TRUE(isWebAddress("https://t.example.test/a"));
    EXPECT_TRUE(isWebAddress("HTTP://x.test"));
    EXPECT_FALSE(isWebAddress("  HTTP://x.test"));  // trimmed before it is judged
    EXPECT_FALSE(isWebAddress("ftp://x"));
    EXPECT_FALSE(isWebAddress(""));
    EXPECT_FALSE(isWebAddress("生成错误"));
    EXPECT_FALSE(isWebAddress("令牌无效"));
}

TEST(AddedQuery, GoesBeforeTheFragmentAndKeepsWhatTheAddressHas) {
    const std::string utm = "utm_source=a&utm_medium=b";
    EXPECT_EQ(withAddedQuery("http://a.test/p", utm), "http://a.test/p?utm_source=a&utm_medium=b");
    EXPECT_EQ(withAddedQuery("http://a.test/p?x=1#top", utm),
              "http://a.test/p?x=1&utm_source=a&utm_medium=b#top");
    EXPECT_EQ(withAddedQuery("http://a.test/p?", utm), "http://a.test/p?utm_source=a&utm_medium=b");
    EXPECT_EQ(withAddedQuery("http://a.test/p?utm_source=mine&y#f", utm),
              "http://a.test/p?utm_source=mine&y&utm_medium=b#f");
    // The alias after a tab stays the alias; an address holding every parameter is unchanged.
    EXPECT_EQ(withAddedQuery("http://a.test/\tmy", "k=v"), "http://a.test/?k=v\tmy");
    EXPECT_EQ(withAddedQuery("http://a.test/?k=1", "k=v"), "http://a.test/?k=1");
    EXPECT_EQ(withAddedQuery("http://a.test/", ""), "http://a.test/");
    EXPECT_TRUE(checkAddedQuery(utm));
    EXPECT_FALSE(checkAddedQuery("a=1 b=2"));
    EXPECT_FALSE(checkAddedQuery("=1"));
    EXPECT_FALSE(checkAddedQuery("a=1#x"));
}

#include <gtest/gtest.h>

#include "app/base/charset.h"
#include "app/base/gbk.h"

using namespace lianshuo;

// "中" is D6 D0 and "覽" (a traditional character in GBK) is D3 5C: its second
// byte is a backslash, the classic trap for byte-wise searches.
TEST(GbkSearch, NeverMatchesOnTheSecondByteOfACharacter) {
    const std::string text =
        "\xD3\x5C"
        "a\\b";  // 覽 a \ b
    EXPECT_EQ(findText(text, "\\"), 3u);
    EXPECT_EQ(findText(text, "\\", 0), 3u);
    EXPECT_EQ(rfindText(text, "\\"), 3u);
    // A marker whose first byte is the trail byte of a character.
    const std::string twoChars = "\xB0\xA1\xA1\xA1";  // 啊 then the ideographic space
    EXPECT_EQ(findText(twoChars, "\xA1\xA1"), 2u);
    EXPECT_EQ(findText("\xD6\xD0\xD6", "\xD0\xD6"), npos);
    EXPECT_EQ(replaceAll(text, "\\", "/"),
              "\xD3\x5C"
              "a/b");
    EXPECT_EQ(splitText("\xD3\x7C|x", "|").size(), 2u);  // D3 7C is one character
}

TEST(GbkSearch, CaseBlindSearchLowersOnlyAsciiLetters) {
    const std::string text = "\xC4\x41xHTTP://";  // a character whose trail byte is 'A'
    EXPECT_EQ(findTextNoCase(text, "http://"), 3u);
    EXPECT_EQ(findTextNoCase(text, "a"), npos);
    EXPECT_EQ(toLowerAscii(text), "\xC4\x41xhttp://");
    EXPECT_TRUE(startsWithNoCase("HtTpS://x", "https://"));
    EXPECT_FALSE(startsWithNoCase("http", "https://"));
}

TEST(GbkSearch, ReverseFindAndReplaceAll) {
    EXPECT_EQ(rfindText("abcabc", "abc"), 3u);
    EXPECT_EQ(rfindText("abcabc", "abc", 5), 0u);  // the match must end by position 5
    EXPECT_EQ(rfindText("abc", "x"), npos);
    EXPECT_EQ(replaceAll("aXbxc", "x", "--", true), "a--b--c");
    EXPECT_EQ(replaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(replaceAll("abc", "", "z"), "abc");
}

TEST(GbkText, TrimKeepsCharactersWhole) {
    EXPECT_EQ(trimSpaces("  a b  "), "a b");
    EXPECT_EQ(trimSpaces("\xA1\xA1 x\xA1\xA1", true), "x");
    EXPECT_EQ(trimSpaces("\xA1\xA1x", false), "\xA1\xA1x");
    // The last character ends in 0x20 as its trail byte? No GBK trail byte is 0x20,
    // but a lone lead byte at the end must not be eaten with the spaces before it.
    EXPECT_EQ(trimSpaces("a \xB0"), "a \xB0");
    EXPECT_EQ(trimSpaces("   "), "");
}

TEST(Charset, RoundTripsThroughUtf8IncludingCharactersOutsideGbk) {
    const std::string utf8 = "\xE4\xB8\xAD\xF0\x9F\x98\x80";  // 中 and an emoji
    const std::string internal = fromUtf8(utf8);
    EXPECT_EQ(internal.substr(0, 2), "\xD6\xD0");
    EXPECT_EQ(internal.size(), 6u);  // the emoji is a four-byte GB18030 sequence
    EXPECT_EQ(toUtf8(internal), utf8);
}

TEST(Charset, Big5HkscsIsFlushedAndBadBytesBecomeQuestionMarks) {
    // BIG5-HKSCS holds back a character that may combine with the next one.
    const std::string big5hk = "\x88\x62";  // a composed Latin letter
    EXPECT_FALSE(convertCharset(big5hk, "BIG5-HKSCS", "UTF-8").empty());
    EXPECT_EQ(convertCharset("a\xFF"
                             "b",
                             "UTF-8", "GB18030"),
              "a?b");
    EXPECT_EQ(convertCharset("abc", "NO-SUCH-CHARSET", "UTF-8"), "");
}

TEST(Charset, Utf8Validation) {
    EXPECT_TRUE(isValidUtf8("plain"));
    EXPECT_TRUE(isValidUtf8("\xEF\xBB\xBF\xE4\xB8\xAD"));
    EXPECT_TRUE(isValidUtf8("\xF0\x9F\x98\x80"));
    EXPECT_FALSE(isValidUtf8("\xD6\xD0"));      // GBK
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));      // overlong
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));  // surrogate
    EXPECT_FALSE(isValidUtf8("\xE4\xB8"));      // cut short
}

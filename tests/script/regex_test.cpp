#include <gtest/gtest.h>

#include "base/charset.h"
#include "script/gbkunits.h"
#include "script/regexobject.h"

using namespace lianshuo;

namespace {

bool found(std::string_view pattern, std::string_view subject) {
    RegexObject regex;
    EXPECT_TRUE(regex.create(pattern)) << pattern;
    return regex.execute(subject) > 0;
}

bool maskMatches(std::string_view mask, std::string_view name) {
    return found(RegexObject::wildcardToPattern(mask), name);
}

}  // namespace

TEST(Wildcards, EscapeEverythingButStarQuestionMarkAndBar) {
    EXPECT_EQ(RegexObject::wildcardToPattern("*.htm"), ".*\\.htm");
    EXPECT_TRUE(maskMatches("*.htm", "index.html"));
    EXPECT_TRUE(maskMatches("*.htm", "a.htm.bak"));
    EXPECT_FALSE(maskMatches("*.htm", "ahtm"));
    // "?" is zero or one character, not exactly one.
    EXPECT_TRUE(maskMatches("a?c", "ac"));
    EXPECT_TRUE(maskMatches("a?c", "abc"));
    EXPECT_FALSE(maskMatches("a?c", "abbc"));
    // "|" stays an alternation, so one field holds several masks.
    EXPECT_TRUE(maskMatches("*.txt|*.ini", "setup.ini"));
    EXPECT_TRUE(maskMatches("*.txt|*.ini", "a.txt.bak"));
    EXPECT_FALSE(maskMatches("*.txt|*.ini", "a.htm"));
    // Every other special character is literal.
    EXPECT_TRUE(maskMatches("a-b=c\"d[1](x){2}+$^", "a-b=c\"d[1](x){2}+$^"));
    EXPECT_FALSE(maskMatches("[1]", "1"));
    EXPECT_FALSE(maskMatches("a+", "aa"));
    EXPECT_TRUE(maskMatches("c:\\dir", "c:\\dir"));
    // "\xD3\x5C" is one character whose second byte is a backslash: not escaped again.
    const std::string pattern = RegexObject::wildcardToPattern("\xD3\x5C*");
    EXPECT_EQ(pattern, "\xD3\x5C.*");
    EXPECT_TRUE(found(pattern, "x\xD3\x5Cy"));
    // A byte that starts no character must not pair up with the escape after it.
    EXPECT_EQ(RegexObject::wildcardToPattern("\xDA("), "\\uFFFD\\(");
    EXPECT_TRUE(maskMatches("\xDA(x)", "a\xDA(x)"));
}

TEST(RegexFlags, DefaultToCaselessMultilineGlobal) {
    RegexObject regex;
    ASSERT_TRUE(regex.create("^ab$"));
    EXPECT_EQ(regex.execute("AB\nab\r\nAb"), 3);  // CRLF ends a line as LF does
    EXPECT_EQ(regex.matchValue(3), "Ab");

    ASSERT_TRUE(regex.create("ab", false));
    EXPECT_EQ(regex.execute("AB ab"), 1);
    ASSERT_TRUE(regex.create("^ab", true, false));
    EXPECT_EQ(regex.execute("x\nab"), 0);
    ASSERT_TRUE(regex.create("ab$", true, false));
    EXPECT_EQ(regex.execute("ab\n"), 0);  // without multi-line "$" is the very end only
    ASSERT_TRUE(regex.create("a", true, true, false));
    EXPECT_EQ(regex.execute("a a a"), 1);
    EXPECT_EQ(regex.replace("a a a", "b"), "b a a");
}

TEST(RegexErrors, InvalidPatternIsReportedAndOtherwiseSilent) {
    RegexObject regex;
    EXPECT_FALSE(regex.isValid());
    const Status refused = regex.create("\xD6\xD0(ab");  // the offset counts GBK bytes
    EXPECT_EQ(refused.reason(), "missing closing parenthesis at offset 5");
    EXPECT_FALSE(regex.isValid());
    EXPECT_EQ(regex.execute("ab"), 0);
    EXPECT_EQ(regex.matchValue(1), "");
    EXPECT_EQ(regex.replace("ab", "x"), "");
    EXPECT_TRUE(regex.create("\\u0041\\x42"));
    EXPECT_EQ(regex.execute("xab"), 1);
}

TEST(RegexGbk, CjkRangesAndMatchBytesOnGbkSubjects) {
    RegexObject url;
    ASSERT_TRUE(url.create("[a-zA-z]+://[^\\s\"'<>\\u4e00-\\u9fa5]+"));
    // "\xD6\xD0\xCE\xC4" is two ideographs; "\xA3\xAC" a full-width comma outside the range.
    const std::string subject =
        "\xD6\xD0http://a.cn/x\xD6\xD0\xCE\xC4 HTTPS://b.com/y\"z ftp://c/\xA3\xAC'q";
    ASSERT_EQ(url.execute(subject), 3);
    EXPECT_EQ(url.matchBytes(3), "ftp://c/\xA3\xAC");
    EXPECT_EQ(url.matchBytes(1), "http://a.cn/x");  // backwards works too
    EXPECT_EQ(url.matchValue(2), "HTTPS://b.com/y");
    EXPECT_EQ(url.matchValue(0), "");
    EXPECT_EQ(url.matchValue(4), "");

    RegexObject han;
    ASSERT_TRUE(han.create("[\\u4e00-\\u9fa5]+"));
    EXPECT_EQ(han.execute("ab\xD6\xD0\xCE\xC4"
                          "cd"),
              1);
    EXPECT_EQ(han.matchValue(1), "\xD6\xD0\xCE\xC4");
    // A UTF-8 subject is used as it is; values still come back as GBK.
    EXPECT_EQ(han.execute(toUtf8("x\xD6\xD0\xCE\xC4"), RegexObject::Encoding::Utf8), 1);
    EXPECT_EQ(han.matchBytes(1), toUtf8("\xD6\xD0\xCE\xC4"));
    EXPECT_EQ(han.matchValue(1), "\xD6\xD0\xCE\xC4");
    // Bytes that are not GBK neither match nor shift the matches after them.
    EXPECT_EQ(url.execute("\x80http://x.cn/\xFF\xD6\xD0 \x80http://y"), 2);
    EXPECT_EQ(url.matchBytes(1), "http://x.cn/\xFF");
    EXPECT_EQ(url.matchBytes(2), "http://y");
}

// The engine's view of GBK must be iconv's, character for character, and
// every match must map back to exactly its own bytes.
TEST(RegexGbk, EveryCharacterDecodesAsIconvDoesAndMapsBack) {
    std::string text;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F) continue;
            text += static_cast<char>(lead);
            text += static_cast<char>(trail);
        }
    }
    const std::size_t pairs = text.size() / 2;
    // Four-byte sequences: the first, one in the middle of the basic plane, the
    // last of it, and the first and last beyond it.
    text += "\x81\x30\x81\x30\x82\x35\x8F\x33\x84\x31\xA4\x39\x90\x30\x81\x30\xE3\x32\x9A\x35";
    text += "ascii\r\n";
    EXPECT_EQ(gbkunits::toUtf8Units(text), toUtf8(text));

    RegexObject any;
    ASSERT_TRUE(any.create("."));
    ASSERT_EQ(any.execute(text), static_cast<long>(pairs + 5 + 5));
    for (std::size_t n = 1; n <= pairs; n += 97)
        ASSERT_EQ(any.matchBytes(static_cast<long>(n)), text.substr(2 * (n - 1), 2)) << n;
    EXPECT_EQ(any.matchBytes(static_cast<long>(pairs + 5)), "\xE3\x32\x9A\x35");
    EXPECT_EQ(any.matchValue(static_cast<long>(pairs + 6)), "a");
}

TEST(RegexReplace, GroupReferencesAndCompactors) {
    RegexObject opener;
    ASSERT_TRUE(opener.create("[\\s\xA1\xA1]+(\\[|{|\")"));  // "\xA1\xA1" is the full-width space
    EXPECT_EQ(opener.replace("{ \"a\" :\t[ 1,\xA1\xA1{}]", "$1"), "{\"a\" :[ 1,{}]");
    RegexObject closer;
    ASSERT_TRUE(closer.create("(\\]|}|\")[\\s\xA1\xA1]+"));
    EXPECT_EQ(closer.replace("[1] , {} \xA1\xA1\"x\" :", "$1"), "[1], {}\"x\":");

    RegexObject pair;
    ASSERT_TRUE(pair.create("(\\w)(\\w)"));
    EXPECT_EQ(pair.replace("ab cd", "$2$1"), "ba dc");
    EXPECT_EQ(pair.replace("ab", "[$10|$&|$$|$x|$3|$]"), "[a0|ab|$|$x|$3|$]");
    EXPECT_EQ(pair.replace("-ab-", "<$`|$'>"), "-<-|->-");

    RegexObject empty;
    ASSERT_TRUE(empty.create("x*"));
    EXPECT_EQ(empty.replace("abc", "-"), "-a-b-c-");
    EXPECT_EQ(empty.execute("axxb"), 4);  // "", "xx", "", "" as the scripting engine finds them
    // Bytes outside the matches survive even when they are not GBK.
    RegexObject space;
    ASSERT_TRUE(space.create(" +"));
    EXPECT_EQ(space.replace("\x80  \xD3\x5C \xFF", "_"), "\x80_\xD3\x5C_\xFF");
}

TEST(RegexCopy, CopiesShareResultsAndRunIndependently) {
    RegexObject original;
    ASSERT_TRUE(original.create("\\d+"));
    ASSERT_EQ(original.execute("1 22 333"), 3);
    RegexObject copy = original;
    EXPECT_EQ(copy.matchValue(2), "22");
    ASSERT_TRUE(original.create("[a-z]+"));
    EXPECT_EQ(original.execute("ab 1"), 1);
    EXPECT_EQ(copy.matchValue(3), "333");
    EXPECT_EQ(copy.execute("4 5"), 2);
    copy = original;
    EXPECT_EQ(copy.replace("ab 1", "x"), "x 1");
}

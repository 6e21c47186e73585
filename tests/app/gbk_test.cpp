#include <gtest/gtest.h>

#include <random>

#include "base/charset.h"
#include "base/gbk.h"

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
    EXPECT_TRUE(startsWithNoCase(text, "\xC4\x41XH"));
    EXPECT_FALSE(startsWithNoCase(text, "\xC4\x61"));
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

// Decodes one code point at a time, the way the definition reads.
static bool plainUtf8Check(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        const std::size_t len = c < 0x80       ? 1
                                : c >> 5 == 6  ? 2
                                : c >> 4 == 14 ? 3
                                : c >> 3 == 30 ? 4
                                               : 0;
        if (len == 0 || i + len > bytes.size()) return false;
        char32_t cp = len == 1 ? c : c & (0x7F >> len);
        for (std::size_t k = 1; k < len; ++k) {
            const auto d = static_cast<unsigned char>(bytes[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

TEST(Charset, Utf8ValidationAgreesWithADecoderOnEveryLeadByteAndOnRandomText) {
    // Both ways of checking, the vector one where the processor has it.
    const auto agree = [](std::string_view text) {
        const bool expected = plainUtf8Check(text);
        return isValidUtf8(text) == expected && isValidUtf8WithoutVectors(text) == expected;
    };
    // Every lead byte with every second byte and a few third ones, placed so that
    // the sequence sits inside a 32-byte block or straddles its border.
    for (const std::size_t before : {20u, 30u, 31u})
        for (int lead = 0x80; lead <= 0xFF; ++lead)
            for (int second = 0; second <= 0xFF; ++second)
                for (const std::string_view tail : {"\x80\x80", "\x80", "",
                                                    "\x80"
                                                    "a",
                                                    "\xC0",
                                                    "\x80\x80"
                                                    "abcdefghijklmnopqrstu"}) {
                    std::string text(before, 'x');
                    text += static_cast<char>(lead);
                    text += static_cast<char>(second);
                    text += tail;
                    ASSERT_TRUE(agree(text))
                        << before << ' ' << lead << ' ' << second << ' ' << tail.size();
                }
    // A sequence the end of a block leaves open, with the input ending there or
    // going on in a block of plain ASCII.
    for (int lead = 0x80; lead <= 0xFF; ++lead)
        for (const std::size_t cut : {1u, 2u, 3u})
            for (const std::string_view after : {"", "abcdefghijklmnopqrstuvwxyz012345"}) {
                std::string text(32 - cut, 'x');
                text += static_cast<char>(lead);
                text.append(cut - 1, '\x80');
                text += after;
                ASSERT_TRUE(agree(text)) << lead << ' ' << cut << ' ' << after.size();
            }
    // Mostly ASCII with UTF-8 sequences and the odd stray byte, cut at many lengths.
    std::mt19937 random(11);
    const std::string_view pieces[] = {"a",
                                       "0123456789abcdef",
                                       "\xE4\xB8\xAD",
                                       "\xC3\xA9",
                                       "\xF0\x9F\x98\x80",
                                       "\xED\x9F\xBF",
                                       "\xEF\xBF\xBF",
                                       "\xF4\x8F\xBF\xBF"};
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int count = round % 10 == 0 ? 60 : 12;
        for (int n = 0; n < count; ++n) text += pieces[random() % std::size(pieces)];
        if (round % 2 == 1) text[random() % text.size()] = static_cast<char>(random() % 256);
        for (std::size_t cut = 0; cut <= text.size(); cut += (round % 10 == 0 ? 1 : 3))
            ASSERT_TRUE(agree(std::string_view(text).substr(0, cut))) << round << ' ' << cut;
    }
}

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "jobs/addressscanner.h"
#include "jobs/interval.h"
#include "support/tempdir.h"

using namespace lianshuo;

namespace {

// `text` with every address equal to `longUrl` replaced by `shortUrl`, found in
// blocks of `block` bytes as the file converter reads a file.
std::string replaceWholeUrl(std::string_view text, std::string_view longUrl,
                            std::string_view shortUrl, bool utf8, std::size_t block = 1 << 20) {
    std::string out;
    AddressStream stream(
        utf8,
        [&](std::size_t, std::string_view bytes) { return bytes == longUrl ? shortUrl : bytes; },
        [&out](std::string_view chunk) {
            out.append(chunk);
            return true;
        });
    for (std::size_t fed = 0;;) {
        const std::size_t take = std::min(block, text.size() - fed);
        stream.pending().append(text.substr(fed, take));
        fed += take;
        stream.settle(fed == text.size());
        if (fed == text.size()) return out;
    }
}

std::vector<std::string> addressesIn(std::string_view text, bool utf8) {
    std::vector<std::string> found;
    scanAddresses(text, utf8, true,
                  [&](std::size_t, std::string_view bytes) { found.emplace_back(bytes); });
    return found;
}

}  // namespace

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
    EXPECT_EQ(replaceWholeUrl("x" + u, u, "S", true), "x" + u);  // part of "xhttp://"
    EXPECT_EQ(replaceWholeUrl("_" + u, u, "S", true), "_" + u);  // "_" is a scheme byte here
    EXPECT_EQ(replaceWholeUrl("=" + u + " ", u, "S", true), "=S ");
    // A CJK ideograph ends an address; other characters may continue it.
    EXPECT_EQ(replaceWholeUrl(u + "\xE4\xB8\xAD", u, "S", true), "S\xE4\xB8\xAD");  // 中 in UTF-8
    EXPECT_EQ(replaceWholeUrl(u + "\xD6\xD0", u, "S", false), "S\xD6\xD0");         // 中 in GBK
    EXPECT_EQ(replaceWholeUrl(u + "\xEF\xBC\x8C", u, "S", true),
              u + "\xEF\xBC\x8C");  // full-width comma
}

TEST(WholeUrlReplacement, GbkCharactersAreNeverSplit) {
    // 0x81 0x68 is one character whose second byte is the letter "h": the
    // "http" that seems to start there is no address.
    const std::string text = "\x81http://a.test/x \xD6\xD0http://a.test/x";
    EXPECT_EQ(replaceWholeUrl(text, "http://a.test/x", "S", false),
              "\x81http://a.test/x \xD6\xD0S");
    // Before an address, a double-byte character whose second byte is a letter is not a scheme
    // letter.
    EXPECT_EQ(replaceWholeUrl("\x81\x41http://a.test/x", "http://a.test/x", "S", false),
              "\x81\x41S");
}

TEST(WholeUrlReplacement, OnlyWhereTheFinderFoundIt) {
    // An archived copy holds the short-linked address inside a longer one: only the whole one
    // changes.
    const std::string archived =
        "https://web.archive.org/web/2021/http://s.example/a http://s.example/a";
    EXPECT_EQ(replaceWholeUrl(archived, "http://s.example/a", "S", true),
              "https://web.archive.org/web/2021/http://s.example/a S");
    // Markdown's image in a link: "[![x](http://i.test/p.png)](http://a.test/)".
    EXPECT_EQ(addressesIn("[![x](http://i.test/p.png)](http://a.test/)", true),
              (std::vector<std::string>{"http://i.test/p.png)](http://a.test/)"}));
    // Look-alike letters are no scheme letters: the Kelvin sign and the long s (UTF-8).
    EXPECT_EQ(addressesIn("\xE2\x84\xAAhttp://a.test/ \xC5\xBFttp://b.test/", true),
              (std::vector<std::string>{"http://a.test/", "ttp://b.test/"}));
}

TEST(WholeUrlReplacement, BlockBordersChangeNothing) {
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "\xD6\xD0<a href=\"http://a.test/" + std::to_string(i % 7) + "\">" +
                "\xCE\xC4 x://y ://";
    text += std::string(5000, 's') + "://x ";           // a scheme longer than it may be
    text += "http://a.test/" + std::string(5000, 'z');  // longer than many blocks
    for (const bool utf8 : {false, true}) {
        const std::string whole = replaceWholeUrl(text, "http://a.test/3", "S", utf8);
        for (const std::size_t block : {16u, 17u, 61u, 1000u})
            ASSERT_EQ(replaceWholeUrl(text, "http://a.test/3", "S", utf8, block), whole) << block;
        EXPECT_NE(whole.find("=\"S\">"), std::string::npos);
    }
}

// GBK read in blocks of any size finds what the whole text finds: a pair cut
// by a border (its trail a letter or a high byte), UTF-8 and CR LF cut by one.
TEST(WholeUrlReplacement, GbkBordersAnywhereChangeNothing) {
    const std::vector<std::string> texts = {
        "\x86http://c.test/p \x86\x68http://c.test/p",
        " \xA1\xA1http://x.test/ \x81\x81\x81http://x.test/",
        "\xD6\xD0\xFE\x80\xA1http://x.test/\xA1\xA1\xD6\xD0 \x81\x40h://y\r\nh://y",
        "\xE4\xB8\xADhttp://x.test/\xE4\xB8\r\n\x81://\x81\x81\x80h://y\xFF"};
    for (const std::string& text : texts) {
        const std::string whole = replaceWholeUrl(text, "http://x.test/", "S", false);
        for (std::size_t block = 1; block <= text.size(); ++block)
            ASSERT_EQ(replaceWholeUrl(text, "http://x.test/", "S", false, block), whole)
                << block << " " << text;
    }
    EXPECT_EQ(replaceWholeUrl(" \xA1\xA1http://x.test/", "http://x.test/", "S", false, 3),
              " \xA1\xA1S");
}

// GBK lead bytes are 0x81 to 0xFE: 0xFF stands alone. A high byte that ends
// the text belongs to the address that ends there, as it would elsewhere.
TEST(WholeUrlReplacement, OnlyGbkLeadBytesPairAndTheLastByteCounts) {
    EXPECT_EQ(addressesIn("\xFFh://b \xFFhttp://a.test/", false),
              (std::vector<std::string>{"h://b", "http://a.test/"}));
    EXPECT_EQ(addressesIn("h://z\x80", false), (std::vector<std::string>{"h://z\x80"}));
    EXPECT_EQ(addressesIn("h://z\xFE", false), (std::vector<std::string>{"h://z\xFE"}));
    EXPECT_EQ(addressesIn("h://z\xE4\xB8", true), (std::vector<std::string>{"h://z\xE4\xB8"}));
}

// Files of every size around the block size come back whole, through the scan with nothing
// replaced and through the plain copy, with the addresses the scan saw.
TEST(FileStreaming, EverySizeAroundTheBlockComesBackWhole) {
    test::TempDir dir;
    const auto path = dir / "page.htm";
    for (const std::size_t block : {16u, 64u}) {
        for (const std::size_t size : {0u, 1u, 15u, 16u, 17u, 63u, 64u, 65u, 500u}) {
            std::string text;
            while (text.size() < size) text += "x http://a.test/" + std::to_string(text.size());
            text.resize(size);
            test::writeFile(path, text);
            std::string scanned, copied;
            std::size_t found = 0;
            const auto into = [](std::string& out) {
                return [&out](std::string_view chunk) {
                    out.append(chunk);
                    return true;
                };
            };
            EXPECT_TRUE(scanFile(
                path, true,
                [&found](std::size_t, std::string_view bytes) {
                    ++found;
                    return bytes;
                },
                into(scanned), block));
            EXPECT_TRUE(streamFile(path, into(copied), block));
            EXPECT_EQ(scanned, text) << block << " " << size;
            EXPECT_EQ(copied, text) << block << " " << size;
            EXPECT_EQ(found, addressesIn(text, true).size()) << block << " " << size;
            // Read once when it fits in a block, twice otherwise: the same addresses.
            bool utf8 = false;
            std::size_t foundOnce = 0;
            EXPECT_TRUE(scanFileOfEitherEncoding(
                path, utf8,
                [&foundOnce](std::size_t, std::string_view bytes) {
                    ++foundOnce;
                    return bytes;
                },
                block));
            EXPECT_TRUE(utf8);
            EXPECT_EQ(foundOnce, found) << block << " " << size;
        }
    }
    // GBK bytes are no UTF-8: the file is taken as GBK, and its address found all the same.
    test::writeFile(path, "\xD6\xD0\xCE\xC4 http://a.test/gbk");
    bool utf8 = true;
    std::vector<std::string> seen;
    EXPECT_TRUE(scanFileOfEitherEncoding(path, utf8, [&seen](std::size_t, std::string_view bytes) {
        seen.emplace_back(bytes);
        return bytes;
    }));
    EXPECT_FALSE(utf8);
    EXPECT_EQ(seen, (std::vector<std::string>{"http://a.test/gbk"}));
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
    EXPECT_GE(pauseMilliseconds("2s", random), 2000);             // the leading number counts
    EXPECT_LE(pauseMilliseconds("1e300", random), 86400 * 1100);  // a day at most
    EXPECT_EQ(pauseMilliseconds("nan", random), 0);
}

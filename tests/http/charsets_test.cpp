#include "http/charsets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/paths.h"
#include "support/test_pages.h"

namespace lianshuo {
namespace {

std::string utf8(std::u8string_view text) {
    return std::string(text.begin(), text.end());
}

std::string decoded(std::string_view bytes, int mode, int* used = nullptr) {
    return decodeResponseText(bytes, mode, used);
}

TEST(Charsets, ByteOrderMarksChooseTheCharsetAndAreDropped) {
    int used = -1;
    EXPECT_EQ(decoded("\xEF\xBB\xBF" + utf8(u8"中文"), kDetect, &used), "中文");
    EXPECT_EQ(used, kUtf8);
    EXPECT_EQ(decoded("\xFF\xFE\x2D\x4E\x87\x65", kDetect, &used), "中文");
    EXPECT_EQ(used, kUtf16Le);
    EXPECT_EQ(decoded("\xFE\xFF\x4E\x2D\x65\x87", kDetect, &used), "中文");
    EXPECT_EQ(used, kUtf16Be);
    // A caller's UTF-8 mode drops the mark too; the UTF-16 modes drop two bytes, mark or not.
    EXPECT_EQ(decoded("\xEF\xBB\xBF" + utf8(u8"文"), kUtf8), "文");
    EXPECT_EQ(decoded(std::string("\x2D\x4E\x87\x65", 4), kUtf16Le, &used), "文");
    EXPECT_EQ(used, kUtf16Le);
}

TEST(Charsets, MetaTagsOfTheHeadDeclareTheCharset) {
    EXPECT_EQ(metaCharsetOf("<head><meta charset=\"utf-8\"></head>"), 1);
    EXPECT_EQ(metaCharsetOf("<HEAD><META http-equiv=x content='text/html; charset=UTF-8'></HEAD>"),
              1);
    EXPECT_EQ(metaCharsetOf("<meta charset='Big5'>"), 2);  // no head: the whole page counts
    EXPECT_EQ(metaCharsetOf("<meta content=\"text/html; charset=Big5-HKSCS\">"), 2);
    EXPECT_EQ(metaCharsetOf("<meta charset=\"Big5-HKSCS\">"), 3);
    EXPECT_EQ(metaCharsetOf("<meta charset='big5-hkscs'>"), 3);
    // The first tag that names one of the three decides; later tags are not read.
    EXPECT_EQ(metaCharsetOf("<meta name=a><meta charset=big5><meta charset=utf-8>"), 2);
    EXPECT_EQ(metaCharsetOf("<head><title>t</title></head><meta charset=utf-8>"), 0);
    EXPECT_EQ(metaCharsetOf("<meta><meta charset=utf-8>"), 0);  // an empty tag ends the walk
    EXPECT_EQ(metaCharsetOf("<meta charset=gbk>"), 0);
    EXPECT_EQ(metaCharsetOf(""), 0);
}

TEST(Charsets, MetaDeclaredPagesConvertFromTheirCharset) {
    // 9E B2 exists in Big5-HKSCS only, so only the quoted declaration reads it right.
    const std::string body = "\x9E\xB2";
    int used = -1;
    EXPECT_EQ(decoded("<head><meta charset=\"Big5-HKSCS\"></head>" + body, kDetect, &used),
              "<head><meta charset=\"Big5-HKSCS\"></head>业");
    EXPECT_EQ(used, kBig5Hkscs);
    EXPECT_NE(decoded("<head><meta charset=Big5-HKSCS></head>" + body, kDetect, &used),
              "<head><meta charset=Big5-HKSCS></head>业");
    EXPECT_EQ(used, kBig5);
    EXPECT_EQ(decoded("<meta charset=\"big5\">\xA4\xA4\xA4\xE5", kDetect, &used),
              "<meta charset=\"big5\">中文");
    EXPECT_EQ(used, kBig5);
}

TEST(Charsets, Utf8IsRecognisedByTwoAndThreeByteSequencesOnly) {
    EXPECT_TRUE(looksLikeUtf8(utf8(u8"abc é 中")));
    EXPECT_FALSE(looksLikeUtf8("plain ascii"));
    EXPECT_FALSE(looksLikeUtf8(""));
    EXPECT_FALSE(looksLikeUtf8(utf8(u8"a 😀 b")));  // four bytes
    EXPECT_FALSE(looksLikeUtf8("\xE4\xB8"));       // cut short
    EXPECT_FALSE(looksLikeUtf8("\x80 stray"));
    EXPECT_FALSE(looksLikeUtf8("中文"));  // GBK bytes

    int used = -1;
    EXPECT_EQ(decoded(utf8(u8"短网址"), kDetect, &used), "短网址");
    EXPECT_EQ(used, kUtf8);
    const std::string emoji = utf8(u8"中 😀");
    EXPECT_EQ(decoded(emoji, kDetect, &used), emoji);
    EXPECT_EQ(used, kNoConversion);
    EXPECT_EQ(decoded("ascii only", kDetect, &used), "ascii only");
    EXPECT_EQ(used, kNoConversion);
    EXPECT_EQ(decoded("中文", kNoConversion, &used), "中文");
    EXPECT_EQ(used, kNoConversion);
}

TEST(Charsets, NothingConvertedGivesTheRawBytes) {
    int used = -1;
    // A lone byte is no UTF-16 unit: the conversion yields nothing and the mark stays.
    EXPECT_EQ(decoded("\xFF\xFE"
                      "A",
                      kUtf16Le, &used),
              "\xFF\xFE"
              "A");
    EXPECT_EQ(used, kNoConversion);
    EXPECT_EQ(decoded("\xE4\xB8", kUtf8, &used), "\xE4\xB8");
    EXPECT_EQ(used, kNoConversion);
    EXPECT_EQ(decoded("abc", 9, &used), "abc");  // unknown modes leave the bytes alone
    EXPECT_EQ(used, kNoConversion);
    EXPECT_EQ(decoded("", kUtf8, &used), "");
    EXPECT_EQ(used, kNoConversion);
}

TEST(Charsets, GzipBodiesExpandWithinTheBound) {
    int used = -1;
    EXPECT_EQ(decoded(test::gzipOf(utf8(u8"压缩")), kDetect, &used), "压缩");
    EXPECT_EQ(used, kUtf8);
    // Two members read as one body.
    EXPECT_EQ(gunzipBytes(test::gzipOf("ab") + test::gzipOf("cd")), "abcd");

    const std::string bomb = test::gzipOfZeros(kMaxResponseBytes + 1);
    EXPECT_LT(bomb.size(), 1u << 20);
    EXPECT_EQ(gunzipBytes(bomb), std::nullopt);
    EXPECT_EQ(decoded(bomb, kDetect, &used), "");
    EXPECT_EQ(gunzipBytes(test::gzipOfZeros(1000), 999), std::nullopt);
    EXPECT_EQ(gunzipBytes(test::gzipOfZeros(1000), 1000), std::string(1000, '\0'));

    // A cut-off stream gives no text at all: its first part would pass for a whole reply.
    std::string text;
    for (int i = 0; i < 3000; ++i) text += std::to_string(i * 7919 % 10007) + ",";
    const std::string whole = test::gzipOf(text);
    EXPECT_EQ(decoded(whole, kDetect), text);
    for (const std::size_t keep : {whole.size() / 2, whole.size() - 4, whole.size() - 1}) {
        const std::string cut = whole.substr(0, keep);
        EXPECT_EQ(gunzipBytes(cut), std::nullopt) << keep;
        EXPECT_EQ(decoded(cut, kDetect, &used), "") << keep;
        EXPECT_EQ(used, kNoConversion) << keep;
    }
}

TEST(Charsets, FilesDecodeLikeBodies) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "lianshuo-charsets-test.txt";
    std::ofstream(file, std::ios::binary) << "\xEF\xBB\xBF" + utf8(u8"文件");
    int used = -1;
    EXPECT_EQ(decodeResponseFile(gbkPath(file), kDetect, &used), "文件");
    EXPECT_EQ(used, kUtf8);
    std::filesystem::remove(file);
    EXPECT_EQ(decodeResponseFile(gbkPath(file), kDetect, &used), "");
}

}  // namespace
}  // namespace lianshuo

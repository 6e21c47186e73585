// SHA-256, HMAC-SHA-256, MD5 and SHA-1 against the published vectors (FIPS 180-2, RFC 4231, RFC
// 1321).

#include <gtest/gtest.h>

#include "base/digests.h"
#include "base/sha256.h"
#include "base/siphash.h"

using namespace lianshuo;

TEST(Sha256, MatchesThePublishedVectors) {
    EXPECT_EQ(hexDigits(sha256("")),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hexDigits(sha256("abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hexDigits(sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    // A million bytes fed in uneven pieces.
    Sha256 pieces;
    for (std::size_t fed = 0; fed < 1000000; fed += 999)
        pieces.update(std::string(std::min<std::size_t>(999, 1000000 - fed), 'a'));
    EXPECT_EQ(hexDigits(pieces.finish()),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");

    EXPECT_EQ(hexDigits(hmacSha256(std::string(20, '\x0b'), "Hi There")),
              "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7");
    EXPECT_EQ(hexDigits(hmacSha256("Jefe", "what do ya want for nothing?")),
              "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
    EXPECT_EQ(hexDigits(hmacSha256(std::string(20, '\xaa'), std::string(50, '\xdd'))),
              "773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe");
    // A key longer than a block is hashed first.
    EXPECT_EQ(hexDigits(hmacSha256(std::string(131, '\xaa'),
                                   "Test Using Larger Than Block-Size Key - Hash Key First")),
              "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54");
}

// RFC 1321's and FIPS 180-1's own examples, and lengths around the padding's edge.
TEST(Digests, Md5AndSha1MatchThePublishedVectors) {
    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(
        md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
        "57edf4a22be3c955ac49da2e2107b67a");
    EXPECT_EQ(md5Hex(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
    EXPECT_EQ(sha1Hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(sha1Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(sha1Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(sha1Hex(std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

// The reference's vectors: key 00..0f, message 00..(n-1).
TEST(SipHash, MatchesTheReferenceVectors) {
    const SipKey key{0x0706050403020100ULL, 0x0f0e0d0c0b0a0908ULL};
    std::string message;
    for (char c = 0; c < 63; ++c) message += c;
    const auto first = [&](std::size_t n) { return std::string_view(message).substr(0, n); };
    EXPECT_EQ(sipHash64(key, first(0)), 0x726fdb47dd0e0e31ULL);
    EXPECT_EQ(sipHash64(key, first(7)), 0xab0200f58b01d137ULL);
    EXPECT_EQ(sipHash64(key, first(8)), 0x93f5f5799a932462ULL);
    EXPECT_EQ(sipHash64(key, first(15)), 0xa129ca6149be45e5ULL);
    EXPECT_EQ(sipHash64(key, first(63)), 0x958a324ceb064572ULL);
    EXPECT_EQ(sipHash128(key, first(0)),
              (std::array<std::uint64_t, 2>{0xe6a825ba047f81a3ULL, 0x930255c71472f66dULL}));
    EXPECT_EQ(sipHash128(key, first(1)),
              (std::array<std::uint64_t, 2>{0x44af996bd8c187daULL, 0x45fc229b11597634ULL}));
}

// SHA-256 and HMAC-SHA-256 against the published vectors (FIPS 180-2, RFC 4231).

#include <gtest/gtest.h>

#include "base/sha256.h"

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

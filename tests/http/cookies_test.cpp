#include "http/cookies.h"

#include <gtest/gtest.h>

namespace lianshuo {
namespace {

TEST(Cookies, MergePutsNewItemsFirstAndDropsDeletedOnes) {
    std::string old = "a=1; b=2";
    EXPECT_EQ(mergeCookies(old, "b=3; c=4"), "b=3; c=4; a=1");
    EXPECT_EQ(old, "b=3; c=4; a=1");
    old = "a=1; b=2";
    EXPECT_EQ(mergeCookies(old, "b=deleted"), "a=1");
    old = "x=a b";
    EXPECT_EQ(mergeCookies(old, ""), "x=ab");  // every space goes, not only the outer ones
    old = "a=1;flag;";
    EXPECT_EQ(mergeCookies(old, "flag;a=2"), "flag; a=2");
    old = "";
    EXPECT_EQ(mergeCookies(old, "k=v; k=v"), "k=v");

    EXPECT_EQ(removeDuplicateItems("a; b; a; c; b", "; "), "a; b; c");
    EXPECT_EQ(removeDuplicateItems("", "; "), "");
}

TEST(Cookies, SetCookieLinesOfAHeaderBlock) {
    const std::string block =
        "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nContent-Type: text/html\r\n"
        "set-cookie: low=0; path=/\r\nSet-Cookie: b=2\r\n\r\n";
    EXPECT_EQ(setCookieLinesOf(block), "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n");
    EXPECT_EQ(cookieHeaderOf(block), "a=1; path=/; b=2; ");
    EXPECT_EQ(cookieHeaderOf("HTTP/1.1 200 OK\r\nServer: x\r\n\r\n"), "");

    EXPECT_EQ(responseCookieOf("Set-Cookie: n=42; path=/\r\n", "n"), "42");
    EXPECT_EQ(responseCookieOf("Set-Cookie:n=7; path=/\r\n", "n"), "7");
    EXPECT_EQ(responseCookieOf(block, "missing"), "");
    // Without attributes the value runs to the next ";" further down the block.
    EXPECT_EQ(responseCookieOf("Set-Cookie: s=1\r\nSet-Cookie: t=2; x\r\n", "s"),
              "1\r\nSet-Cookie: t=2");

    EXPECT_EQ(collectedCookiesOf("Set-Cookie: k=1; path=/\r\nSet-Cookie: t=2\r\n"), "k=1;;");
    EXPECT_EQ(collectedCookiesOf(block), "a=1;low=0;;");
    EXPECT_EQ(collectedCookiesOf("HTTP/1.1 204 No Content\r\n\r\n"), "");
}

}  // namespace
}  // namespace lianshuo

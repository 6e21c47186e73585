#include "jobs/addressindex.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

namespace lianshuo {
namespace {

TEST(AddressIndex, FindsEveryAddedTextAtItsPlaceThroughGrowthAndClears) {
    AddressIndex index;
    std::deque<std::string> texts;  // the index views them: they must not move
    EXPECT_EQ(index.find("http://a.example/"), AddressIndex::npos);
    for (int round = 0; round < 2; ++round) {
        texts.clear();
        index.clear();
        // Enough to grow the table several times, and past the size a clear keeps.
        for (int n = 0; n < 40000; ++n) {
            index.add(texts.emplace_back("http://shop.example/item?id=" + std::to_string(n)));
        }
        ASSERT_EQ(index.size(), 40000u);
        for (int n = 0; n < 40000; n += 7)
            ASSERT_EQ(index.find("http://shop.example/item?id=" + std::to_string(n)),
                      static_cast<std::size_t>(n));
        EXPECT_EQ(index.find("http://shop.example/item?id=40000"), AddressIndex::npos);
        EXPECT_EQ(index.find("http://shop.example/item?id="), AddressIndex::npos);
        EXPECT_EQ(index.find(""), AddressIndex::npos);
    }
    index.clear();
    EXPECT_EQ(index.size(), 0u);
    EXPECT_EQ(index.find("http://shop.example/item?id=1"), AddressIndex::npos);
}

TEST(AddressIndex, TellsApartTextsThatDifferOnlyInCaseOrOneByte) {
    AddressIndex index;
    const std::string texts[] = {"http://a.example/x", "HTTP://a.example/x", "http://a.example/y",
                                 std::string("http://a.example/\0x", 19)};
    for (const std::string& text : texts) index.add(text);
    for (std::size_t n = 0; n < std::size(texts); ++n) EXPECT_EQ(index.find(texts[n]), n);
    EXPECT_EQ(index.find("http://a.example/"), AddressIndex::npos);
}

}  // namespace
}  // namespace lianshuo

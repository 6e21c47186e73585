#include <gtest/gtest.h>

#include <random>

#include "json_literal.h"
#include "script/jsonreader.h"

using namespace lianshuo;

TEST(JsonReader, StringValuesKeepTheirEscapes) {
    JsonReader reader;
    const std::string reply =
        "{\"Code\":0, \"ShortUrl\" : \"https:\\/\\/dwz.cn\\/ab\", \"err_msg\":\"\\u4e2d \"}";
    EXPECT_EQ(reader.getValue(reply, "ShortUrl"), "https:\\/\\/dwz.cn\\/ab");
    EXPECT_EQ(reader.getValue(reply, "err_msg"), "\\u4e2d");  // the space before the quote goes
    EXPECT_EQ(reader.getValue(reply, "Code"), "0");
    EXPECT_EQ(reader.getValue(reply, "code"), "");  // names are case-sensitive
    // An escaped quote comes back escaped, and so does the text "#SYH#" itself;
    // an escaped backslash does not hide the closing quote.
    const std::string quoted = "{\"a\":\"say \\\"hi\\\"\",\"b\":\"#SYH#\",\"c\":\"x\\\\\",\"d\":1}";
    EXPECT_EQ(reader.getValue(quoted, "a"), "say \\\"hi\\\"");
    EXPECT_EQ(reader.getValue(quoted, "b"), "\\\"");
    EXPECT_EQ(reader.getValue(quoted, "c"), "x\\\\");
    EXPECT_EQ(reader.getValue(quoted, "d"), "1");
    // Scanning is byte-wise: "\xD3\x5C" ends in a backslash, which escapes the quote
    // after it, so the string runs on and nothing can be read; "\xD6\xD0" is harmless.
    EXPECT_EQ(reader.getValue("{\"a\":\"\xD3\x5C\",\"b\":\"c\"}", "b"), "");
    EXPECT_EQ(reader.getValue("{\"a\":\"\xD6\xD0\",\"b\":\"c\"}", "a"), "\xD6\xD0");
}

TEST(JsonReader, PathsWithQuotedDotsIndexesAndDuplicates) {
    JsonReader reader;
    const std::string json =
        "{\"a.b\":{\"c\":1},\"a\":{\"b\":2},\"list\":[10,[20,21],{\"x\":\"y\"}],\"a\":{\"z\":3}}";
    EXPECT_EQ(reader.getValue(json, "\"a.b\".c"), "1");
    EXPECT_EQ(reader.getValue(json, "''a.b''.c"), "1");
    EXPECT_EQ(reader.getValue(json, "a.b"), "2");
    EXPECT_EQ(reader.getValue(json, "a.z"), "");  // only the first "a" is ever reached
    EXPECT_EQ(reader.getValue(json, "list.[1]"), "10");
    EXPECT_EQ(reader.getValue(json, "list.[0]"), "");
    EXPECT_EQ(reader.getValue(json, "list.[0]", true), "10");
    EXPECT_EQ(reader.getValue(json, "list.[2].[2]"), "21");
    EXPECT_EQ(reader.getValue(json, "list.[3].x"), "y");
    EXPECT_EQ(reader.getValue(json, "list.[01]"), "");
    EXPECT_EQ(reader.getValue(json, "list.[4]"), "");
    EXPECT_EQ(reader.getValue(json, "list"), "[10,[20,21],{\"x\":\"y\"}]");
    EXPECT_EQ(reader.getValue(json, "a.b.c"), "");  // 2 is no container
    EXPECT_EQ(reader.getValue("[[1,2],[3]]", "[2].[1]"), "3");
}

TEST(JsonReader, EmptyContainersScalarsAndEmptyPaths) {
    JsonReader reader;
    EXPECT_EQ(reader.getValue("{}", "a"), "");
    EXPECT_EQ(reader.getValue("[]", "[1]"), "");
    EXPECT_EQ(reader.getValue("{\"a\":{}, \"b\":[ ]}", "a"), "{}");
    EXPECT_EQ(reader.getValue("{\"a\":{}, \"b\":[ ]}", "b.[1]"), "");
    EXPECT_EQ(reader.getValue("\"a\"", "a"), "");
    EXPECT_EQ(reader.getValue("12", "[1]"), "");
    EXPECT_EQ(reader.getValue("\"{\\\"a\\\":1}\"", "a"), "");  // braces inside a string only
    EXPECT_EQ(reader.getValue("{ \"a\" : [ 1 , 2 ] }\n", ""), "{\"a\":[ 1 , 2 ]}");
    // A path whose quote never closes has no segment left: the whole text again.
    EXPECT_EQ(reader.getValue(" [ 1 ] ", "\"a.b"), "[ 1 ]");
    EXPECT_EQ(reader.getValue("{\"\":{\"\":5}}", "."), "5");  // empty names are names
}

namespace {

// Replies built from the pieces that steer the scan: nested containers,
// strings holding structure, escapes, double-byte traps and white space of
// every kind, then sometimes broken by a stray piece or a cut.
class ReplyGenerator {
public:
    explicit ReplyGenerator(unsigned seed) : random_(seed) {}

    std::string reply() {
        std::string text = value(0);
        for (int cuts = pick(3) == 0 ? 1 + pick(2) : 0; cuts > 0; --cuts) {
            const std::size_t at = pick(text.size() + 1);
            if (pick(2) == 0) {
                text.insert(at, any(kStray));
            } else {
                text.erase(at, pick(4));
            }
        }
        return text;
    }

    std::string path() {
        std::string path;
        for (std::size_t i = 0, n = 1 + pick(2); i < n; ++i)
            path += (i ? "." : "") + any(kSegments);
        return path;
    }

    bool coin() { return pick(2) == 0; }

private:
    static constexpr const char* kScalars[] = {"1",         "\"x\"",        "\"a,b}]:\"",
                                               "\"q\\\"\"", "\"\\\\\"",     "\"\xD3\x5C\"",
                                               "\"#SYH#\"", "\" s \"",      "\"\xA1\xA1z\xA1\xA1\"",
                                               "true",      "\"\xD6\xD0\"", "\"\\n\"",
                                               "\"\""};
    static constexpr const char* kKeys[] = {"\"a\"", "\"b\"", "\"a.b\"", "\"\"", "\" a\"", "a"};
    static constexpr const char* kSpaces[] = {"", "", "", " ", "\t", "\r\n", "\xA1\xA1"};
    static constexpr const char* kStray[] = {"{", "}", "[", "]", "\"", ",", ":", "\\", "\xD3"};
    static constexpr const char* kSegments[] = {"a",   "a",   "b",   "\"a.b\"", "''a.b''", "[1]",
                                                "[1]", "[2]", "[0]", "",        " a "};

    std::size_t pick(std::size_t n) { return n ? random_() % n : 0; }
    template <std::size_t N>
    std::string any(const char* const (&items)[N]) {
        return items[pick(N)];
    }

    std::string value(int depth) {
        const std::size_t kind = depth == 0 ? pick(5) : depth < 3 ? pick(10) : 9;
        if (kind >= 5) return any(kScalars);
        const bool object = kind < 3;
        std::string text = object ? "{" : "[";
        for (std::size_t i = 0, n = pick(4); i < n; ++i) {
            if (i) text += any(kSpaces) + ",";
            text += any(kSpaces);
            if (object) text += any(kKeys) + any(kSpaces) + ":" + any(kSpaces);
            text += value(depth + 1) + any(kSpaces);
        }
        return text + (object ? "}" : "]");
    }

    std::mt19937 random_;
};

}  // namespace

// The fast reader must give what the rules give when followed to the letter.
TEST(JsonReader, AgreesWithTheLiteralRulesOnRandomReplies) {
    ReplyGenerator generator(20240611);
    reference::LiteralJsonReader literal;
    JsonReader reader;
    int found = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::string json = generator.reply();
        const std::string path = generator.path();
        const bool zeroBased = generator.coin();
        const std::string value = reader.getValue(json, path, zeroBased);
        ASSERT_EQ(value, literal.getValue(json, path, zeroBased))
            << "json: " << json << "\npath: " << path << "\nzero-based: " << zeroBased;
        found += !value.empty();
    }
    EXPECT_GT(found, 300);  // the replies must reach values, not only fail
}

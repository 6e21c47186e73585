#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "base/helpers.h"
#include "base/paths.h"

using namespace lianshuo;

TEST(HostOfUrl, LowersAndStripsSchemePathAndPort) {
    EXPECT_EQ(hostOfUrl("HTTPS://Www.Example.test:8443/a/b"), "www.example.test");
    EXPECT_EQ(hostOfUrl("HTTPS://Www.Example.test:8443/a/b", true), "www.example.test:8443");
    EXPECT_EQ(hostOfUrl("example.test"), "example.test");
    EXPECT_EQ(hostOfUrl("http://h.test?q=1"), "h.test?q=1");  // no "/" before the query
    EXPECT_EQ(hostOfUrl(""), "");
}

TEST(TextBetween, MarkersPlaceholderAndStart) {
    EXPECT_EQ(textBetween("<a title=\"x\">", "title=#引号", "#引号"), "x");
    EXPECT_EQ(textBetween("[1][2]", "[", "]", 3), "2");
    EXPECT_EQ(textBetween("<B>x</b>", "<b>", "</b>", 1, true), "x");
    EXPECT_EQ(textBetween("<B>x</b>", "<b>", "</b>"), "");
    EXPECT_EQ(textBetween("abc", "a", "z"), "");
}

TEST(FormatDateTime, PatternsAndSeparators) {
    std::tm t{};
    t.tm_year = 2019 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 7;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 2;
    t.tm_isdst = -1;
    const std::time_t moment = std::mktime(&t);
    EXPECT_EQ(formatDateTime(0, "", moment), "2019-03-07 09:05:02");
    EXPECT_EQ(formatDateTime(1, "", moment), "2019-03-07");
    EXPECT_EQ(formatDateTime(2, ".", moment), "09.05.02");
    EXPECT_EQ(formatDateTime(0, "-", moment), "2019-03-07 09-05-02");
    EXPECT_EQ(formatDateTime(-1, "#3/#2 #1", moment), "07/03 2019");
}

TEST(Digits, BothDirections) {
    EXPECT_EQ(numberFromDigits("4e2D", 16), 20013);
    EXPECT_EQ(digitsOfNumber(20013, 16), "4E2D");
    EXPECT_EQ(digitsOfNumber(0, 16), "0");
    EXPECT_EQ(numberFromDigits("z", 36), 35);
    EXPECT_EQ(numberFromDigits("1-1", 10), 101);  // a non-digit counts as 0
    EXPECT_EQ(gbkToUtf8("\xD6\xD0", false), std::string("\xE4\xB8\xAD\0", 4));
    EXPECT_EQ(gbkToUtf8("\xD6\xD0", true), "\xE4\xB8\xAD");
}

TEST(CutBetweenMarkers, ApostrophePairsAndTheSecondAttemptWithoutQuotes) {
    EXPECT_EQ(cutBetweenMarkers("<b class=\"x\">s</b>", "<b class=''x''>", "</b>"), "s");
    EXPECT_EQ(cutBetweenMarkers("<b class=x>s</b>", "<b class=''x''>", "</b>"), "s");
    EXPECT_EQ(cutBetweenMarkers("<B>s</B>", "<b>", "</b>"), "s");
    long start = 0, last = 0;
    EXPECT_EQ(cutBetweenMarkers("a''b", "a", "b", false, start, 0, 0, true, last), "''");
}

TEST(CutBetweenMarkers, ForwardReverseAndEmptyMarkers) {
    EXPECT_EQ(cutBetweenMarkers("<b>x <b>1</b>", "<b>", "</b>"), "x <b>1");
    EXPECT_EQ(cutBetweenMarkers("<b>x <b>1</b>", "<b>", "</b>", true), "1");
    EXPECT_EQ(cutBetweenMarkers("whole reply", "", ""), "whole reply");
    EXPECT_EQ(cutBetweenMarkers("key=v;rest", "key=", ""), "v;rest");
    EXPECT_EQ(cutBetweenMarkers("abc", "", "c"), "ab");
}

TEST(CutBetweenMarkers, StartPositionWalksMatchesAndEndsAtMinusTwo) {
    const std::string text = "<m a><m b>";
    long start = 0, last = 0;
    EXPECT_EQ(cutBetweenMarkers(text, "<m", ">", false, start, 0, 0, false, last), " a");
    EXPECT_EQ(start, 6);
    EXPECT_EQ(cutBetweenMarkers(text, "<m", ">", false, start, 0, 0, false, last), " b");
    EXPECT_EQ(cutBetweenMarkers(text, "<m", ">", false, start, 0, 0, false, last), "");
    EXPECT_EQ(start, -2);
    EXPECT_EQ(cutBetweenMarkers(text, "<m", ">", false, start, 0, 0, false, last), "");
    // Shifts that overrun the match give an empty text, never a wild cut.
    start = 0;
    EXPECT_EQ(cutBetweenMarkers("[ab]", "[", "]", false, start, 5, 0, false, last), "");
}

TEST(CutBetweenMarkers, ReverseSkipsALeftMarkerAlreadyTaken) {
    const std::string text = "<i>1</i>2</i>";
    long start = 0, last = 0;
    EXPECT_EQ(cutBetweenMarkers(text, "<i>", "</i>", true, start, 0, 0, false, last), "1");
    EXPECT_EQ(cutBetweenMarkers(text, "<i>", "</i>", true, start, 0, 0, false, last), "");
}

TEST(CutBetweenMarkers, DoesNotMatchAcrossADoubleByteCharacter) {
    // D3 5C is one character; its trail byte must not be read as a backslash.
    EXPECT_EQ(cutBetweenMarkers("\xD3\x5C\"x\\\"y", "\\\"", "\\\""), "");
    EXPECT_EQ(cutBetweenMarkers("[\xD3\x5D]", "[", "]"), "\xD3\x5D");
}

TEST(ReplaceEach, PairsByPositionIgnoringCase) {
    EXPECT_EQ(replaceEach("http:\\/\\/a.test\\/x", "\\/|http:", "/"), "//a.test/x");
    EXPECT_EQ(replaceEach("AbA", "a", "x|y"), "xbx");
    EXPECT_EQ(replaceEach("abc", "|b", "q|r"), "arc");
}

TEST(RunHelpers, RemoveDuplicatesKeepsFirstOccurrences) {
    std::vector<std::string> list{"b", "a", "b", "A", "a"};
    removeDuplicates(list);
    EXPECT_EQ(list, (std::vector<std::string>{"b", "a", "A"}));
}

TEST(RunHelpers, CreateDirectoryPathMakesEveryParentButNotTheFileName) {
    const auto root = std::filesystem::temp_directory_path() / "lianshuo_dirs_test";
    std::filesystem::remove_all(root);
    const std::string path = gbkPath(root) + "/\xC9\xFA\xB3\xC9/b/result.txt";  // 生成
    EXPECT_TRUE(createDirectoryPath(path));
    EXPECT_TRUE(std::filesystem::is_directory(root / "\xE7\x94\x9F\xE6\x88\x90" / "b"));
    EXPECT_FALSE(std::filesystem::exists(root / "\xE7\x94\x9F\xE6\x88\x90" / "b" / "result.txt"));
    std::filesystem::remove_all(root);
}

TEST(RunHelpers, AWaitEndsOnTheFlag) {
    std::atomic<bool> stop{false};
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        stop = true;
    });
    const auto start = std::chrono::steady_clock::now();
    waitInterruptibly(5000, stop);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    stopper.join();
    EXPECT_LT(elapsed, std::chrono::seconds(4));  // ended by the flag, not the time
    stop = false;
    waitInterruptibly(0, stop);
}

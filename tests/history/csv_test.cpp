// The history's export file and the dates people type for it.

#include <gtest/gtest.h>

#include "base/charset.h"
#include "base/paths.h"
#include "history/conversionhistory.h"
#include "history/historycsv.h"
#include "history/historytime.h"
#include "history/servicename.h"
#include "support/tempdir.h"

using namespace lianshuo;
namespace fs = std::filesystem;

TEST(HistoryCsv, FieldsWithCommasQuotesOrLineBreaksAreQuoted) {
    EXPECT_EQ(csvField("http://a.test/x?y=1"), "http://a.test/x?y=1");
    EXPECT_EQ(csvField("a,b"), "\"a,b\"");
    EXPECT_EQ(csvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(csvField("one\ntwo"), "\"one\ntwo\"");
    EXPECT_EQ(csvField("one\rtwo"), "\"one\rtwo\"");
    EXPECT_EQ(csvField(""), "");
}

TEST(HistoryCsv, ServicesAreNamedAsPeopleKnowThem) {
    EXPECT_EQ(historyServiceName("baidu:dwz.cn"), "百度");
    EXPECT_EQ(historyServiceName("weibo:relay.test"), "新浪");
    EXPECT_EQ(historyServiceName("tinyurl:tinyurl.com"), "TinyURL");
    EXPECT_EQ(historyServiceName("custom:127.0.0.1:8080"), "127.0.0.1:8080");
    EXPECT_EQ(historyServiceName("custom:短网"), "短网");
    EXPECT_EQ(historyServiceName("k"), "k");
}

TEST(HistoryCsv, TheSpreadsheetFormHasAMarkTheWindowsColumnsAndALineALink) {
    test::TempDir dir;
    ConversionHistory history;
    history.setClock([] { return std::int64_t{86400 * 365}; });
    ASSERT_TRUE(history.open(gbkPath(dir / "h.sqlite")).ok());
    ASSERT_TRUE(history.record("custom:短网:0a", "http://a.test/?q=a,b", "http://s.test/1").ok());
    ASSERT_TRUE(history.record("k", "http://a.test/\"x\"\r\nnext", "http://s.test/2").ok());
    std::vector<HistoryEntry> rows;
    ASSERT_TRUE(history.list({}, rows).ok());
    ASSERT_TRUE(
        history.recordChecks({{rows[0].id, "http://s.test/1", 3, "http://p.test/a,b", 86400 * 365}})
            .ok());
    std::int64_t written = 0;
    ASSERT_TRUE(history.exportCsv(gbkPath(dir / "out.csv"), {}, &written).ok());
    EXPECT_EQ(written, 2);
    const std::string when = formatHistoryTime(86400 * 365);
    // The last check's state, target and time close each line; empty when never checked.
    EXPECT_EQ(test::readFile(dir / "out.csv"),
              "\xEF\xBB\xBF" +
                  toUtf8("短网址,长网址,服务,生成时间,最后使用,次数,状态,指向,检查时间\r\n") +
                  "http://s.test/1,\"http://a.test/?q=a,b\"," + toUtf8("短网") + "," + when + "," +
                  when + ",1," + toUtf8("指向别处") + ",\"http://p.test/a,b\"," + when + "\r\n" +
                  "http://s.test/2,\"http://a.test/\"\"x\"\"%0D%0Anext\",k," + when + "," + when +
                  ",1,,,\r\n");

    // The plain form is byte for byte what scripts have always read.
    ASSERT_TRUE(history.exportCsv(gbkPath(dir / "plain.csv"), {}, &written, CsvForm::Plain).ok());
    EXPECT_EQ(test::readFile(dir / "plain.csv"),
              "service,long,short,created,last used,uses,state,target,checked\r\n"
              "custom:\xE7\x9F\xAD\xE7\xBD\x91,\"http://a.test/?q=a,b\",http://s.test/1," +
                  when + "," + when +
                  ",1,\xE6\x8C\x87\xE5\x90\x91\xE5\x88\xAB\xE5\xA4\x84,"
                  "\"http://p.test/a,b\"," +
                  when + "\r\n" + "k,\"http://a.test/\"\"x\"\"\r\nnext\",http://s.test/2," + when +
                  "," + when + ",1,,,\r\n");
    // Only the filter's rows.
    ASSERT_TRUE(history.exportCsv(gbkPath(dir / "k.csv"), {.service = "k"}, &written).ok());
    EXPECT_EQ(written, 1);
}

TEST(HistoryCsv, AFailedExportLeavesTheOldFileAndNoLeftovers) {
    test::TempDir dir;
    ConversionHistory history;
    ASSERT_TRUE(history.open(gbkPath(dir / "h.sqlite")).ok());
    ASSERT_TRUE(history.record("k", "http://a.test/1", "http://s.test/1").ok());
    const Status missing = history.exportCsv(gbkPath(dir / "no" / "such" / "out.csv"));
    EXPECT_FALSE(missing.ok());
    EXPECT_NE(missing.reason().find("out.csv"), std::string::npos);

    // A folder in the target's place: written whole beside it, then refused by the rename.
    fs::create_directory(dir / "taken.csv");
    test::writeFile(dir / "taken.csv" / "inside", "kept");
    EXPECT_FALSE(history.exportCsv(gbkPath(dir / "taken.csv")).ok());
    EXPECT_EQ(test::readFile(dir / "taken.csv" / "inside"), "kept");
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
}

TEST(HistoryDates, DaysAndTimesAsTypedAndNothingElse) {
    const auto day = parseHistoryDate("2026-03-01");
    ASSERT_TRUE(day);
    EXPECT_EQ(formatHistoryTime(*day), "2026-03-01 00:00:00");
    EXPECT_EQ(parseHistoryDate("2026-03-01 12:30"), *day + 12 * 3600 + 30 * 60);
    EXPECT_EQ(parseHistoryDate("2026-03-01T12:30:15"), *day + 12 * 3600 + 30 * 60 + 15);
    for (const char* bad :
         {"", "2026-3-1", "2026-02-30", "2026-13-01", "yesterday", "2026-03-01 25:00",
          "2026-03-01 12:30:61", "1969-12-31", "2026/03/01", "2026-03-01 12", "2026-03-01x12:30"})
        EXPECT_FALSE(parseHistoryDate(bad)) << bad;
}

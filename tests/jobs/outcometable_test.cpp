// The run's outcomes are packed small; what comes back must be what went in.

#include <gtest/gtest.h>

#include "jobs/outcometable.h"

using namespace lianshuo;

TEST(OutcomeTable, GivesBackEveryFieldOfTheFirstOutcomeOfEachAddress) {
    OutcomeTable table;
    ConversionOutcome failed = ConversionOutcome::failed(FailureKind::HttpStatus, "服务忙", 503);
    failed.retryable = true;
    failed.retryAfterSeconds = 7;
    ConversionOutcome done = ConversionOutcome::success("https://s.test/a");
    done.fromHistory = true;
    table.insert("http://a.test/1", failed);
    table.insert("http://a.test/2", done);
    table.insert("http://a.test/2", ConversionOutcome::success("https://s.test/other"));
    // Enough entries to fill more than one chunk of the table.
    for (int i = 0; i < 30000; ++i)
        table.insert("http://b.test/" + std::to_string(i),
                     ConversionOutcome::success("https://s.test/" + std::string(40, 'x')));

    const auto first = table.find("http://a.test/1");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->failure, FailureKind::HttpStatus);
    EXPECT_EQ(first->message, "服务忙");
    EXPECT_EQ(first->status, 503);
    EXPECT_TRUE(first->retryable);
    EXPECT_EQ(first->retryAfterSeconds, 7);
    const auto second = table.find("http://a.test/2");
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->ok());
    EXPECT_EQ(second->shortUrl, "https://s.test/a");
    EXPECT_TRUE(second->fromHistory);
    EXPECT_TRUE(table.find("http://b.test/29999"));
    EXPECT_FALSE(table.find("http://a.test/3"));
    table.clear();
    EXPECT_FALSE(table.find("http://a.test/1"));
}

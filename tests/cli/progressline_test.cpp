#include <gtest/gtest.h>

#include <sstream>

#include "base/charset.h"
#include "cli/progressline.h"

using namespace lianshuo;
using namespace std::chrono_literals;

TEST(ProgressLine, CountsRateAndTimeLeft) {
    EXPECT_EQ(cli::progressText(0, 10, 0, 0ms), toUtf8("[0/10] · 已用 0:00"));
    EXPECT_EQ(cli::progressText(4, 10, 1, 2000ms),
              toUtf8("[4/10] 失败 1 · 2.0/s · 已用 0:02 · 剩余 0:03"));
    EXPECT_EQ(cli::progressText(10, 10, 0, 3723000ms), toUtf8("[10/10] · 0.0/s · 已用 1:02:03"));
}

TEST(ProgressLine, RedrawsAtMostTenTimesASecondAndErasesOnce) {
    std::ostringstream out;
    auto now = std::chrono::steady_clock::time_point{};
    cli::ProgressLine line(out, true, [&now] { return now; });
    line.update(1, 100, 0);
    for (int i = 2; i < 50; ++i) {
        now += 10ms;
        line.update(i, 100, 0);
    }
    const std::string drawn = out.str();
    // 480 ms of updates every 10 ms: the first drawing and one per 100 ms.
    std::size_t count = 0;
    for (std::size_t at = drawn.find("/100]"); at != std::string::npos;
         at = drawn.find("/100]", at + 1))
        ++count;
    EXPECT_EQ(count, 5u);
    line.update(100, 100, 0, true);
    line.erase();
    line.erase();
    EXPECT_EQ(out.str().substr(out.str().size() - 4), "\r\x1b[K");
    EXPECT_EQ(out.str().find("\r\x1b[K\r\x1b[K"), std::string::npos);

    std::ostringstream silent;
    cli::ProgressLine off(silent, false);
    off.update(1, 2, 0, true);
    off.erase();
    EXPECT_TRUE(silent.str().empty());
}

#pragma once
// The one-line progress display of a long run on a terminal's standard error:
// done/total, failures, rate, elapsed and estimated time left, redrawn at
// most ten times a second and erased before anything else is printed.

#include <chrono>
#include <functional>
#include <iosfwd>

namespace lianshuo::cli {

class ProgressLine {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    /// Draws nothing at all unless `enabled` (standard error is a terminal, no --quiet).
    ProgressLine(std::ostream& stream, bool enabled, Clock clock = std::chrono::steady_clock::now);
    ~ProgressLine() { erase(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    /// Shows the counts; redraws only when 100 ms have passed since the last drawing,
    /// unless `force` (the first and the last update).
    void update(int done, int total, int failed, bool force = false);
    /// Takes the line off the terminal so that other output starts on a clean line.
    void erase();

private:
    std::ostream& stream_;
    bool enabled_;
    Clock clock_;
    std::chrono::steady_clock::time_point start_, lastDrawn_;
    bool shown_ = false;
    bool drawnOnce_ = false;
};

/// "[3/10] 失败 1 · 2.5/s · 已用 0:04 · 剩余 0:03": the text the line shows (UTF-8);
/// "[3] …" without the total and the time left when `total` is 0 (not known).
std::string progressText(int done, int total, int failed, std::chrono::milliseconds elapsed);

}  // namespace lianshuo::cli

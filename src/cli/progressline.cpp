#include "cli/progressline.h"

#include <cstdio>
#include <ostream>
#include <string>

#include "base/charset.h"

namespace lianshuo::cli {
namespace {

std::string clockText(long long seconds) {
    char text[32];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                      seconds % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
    return text;
}

}  // namespace

std::string progressText(int done, int total, int failed, std::chrono::milliseconds elapsed) {
    // A list read as it goes has no total until its end.
    std::string text =
        "[" + std::to_string(done) + (total > 0 ? "/" + std::to_string(total) : "") + "]";
    if (failed > 0) text += toUtf8(" 失败 ") + std::to_string(failed);
    const double seconds = static_cast<double>(elapsed.count()) / 1000;
    if (done > 0 && seconds > 0) {
        char rate[32];
        std::snprintf(rate, sizeof rate, "%.1f/s", done / seconds);
        text += toUtf8(" · ") + rate;
    }
    text += toUtf8(" · 已用 ") + clockText(elapsed.count() / 1000);
    if (done > 0 && done < total) {
        const auto left = static_cast<long long>(seconds / done * (total - done) + 0.5);
        text += toUtf8(" · 剩余 ") + clockText(left);
    }
    return text;
}

ProgressLine::ProgressLine(std::ostream& stream, bool enabled, Clock clock)
    : stream_(stream), enabled_(enabled), clock_(std::move(clock)), start_(clock_()) {}

void ProgressLine::update(int done, int total, int failed, bool force) {
    if (!enabled_) return;
    const auto now = clock_();
    if (drawnOnce_ && !force && now - lastDrawn_ < std::chrono::milliseconds(100)) return;
    lastDrawn_ = now;
    drawnOnce_ = true;
    shown_ = true;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - start_);
    // CR and "erase to the end of the line" redraw in place, whatever was there.
    stream_ << "\r\x1b[K" << progressText(done, total, failed, elapsed) << std::flush;
}

void ProgressLine::erase() {
    if (!shown_) return;
    shown_ = false;
    stream_ << "\r\x1b[K" << std::flush;
}

}  // namespace lianshuo::cli

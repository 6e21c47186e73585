#include "cli/inputlines.h"

#include <cstring>

namespace lianshuo::cli {
namespace {

constexpr std::size_t kBlock = 64 * 1024;
// What a refused line keeps of itself, to say which line it was.
constexpr std::size_t kKeptStart = 80;

}  // namespace

bool InputLines::fill() {
    if (ended_) return false;
    block_.resize(kBlock);
    const Result<std::size_t> got = read_(block_.data(), block_.size());
    if (!got) {
        error_ = got.reason();
        ended_ = true;
    } else if (*got == 0) {
        ended_ = true;
    }
    block_.resize(got ? *got : 0);
    at_ = 0;
    return !ended_;
}

std::optional<InputLines::Line> InputLines::next() {
    Line line;
    bool any = false;
    for (;;) {
        if (at_ == block_.size() && !fill()) break;
        any = true;
        const char* start = block_.data() + at_;
        const std::size_t left = block_.size() - at_;
        const auto* end = static_cast<const char*>(std::memchr(start, '\n', left));
        const std::size_t length = end != nullptr ? static_cast<std::size_t>(end - start) : left;
        if (!line.tooLong && line.text.size() + length > kLongestInputLine) {
            line.tooLong = true;
            line.text.append(start, std::min(length, kLongestInputLine - line.text.size()));
            line.text.resize(std::min(line.text.size(), kKeptStart));
        } else if (!line.tooLong) {
            line.text.append(start, length);
        }
        at_ += length;
        if (end != nullptr) {
            ++at_;
            return line;
        }
    }
    if (!any || !error_.empty()) return std::nullopt;
    return line;
}

}  // namespace lianshuo::cli

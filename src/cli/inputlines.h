#pragma once
// The lines of the command line's input, read a block at a time: a list of
// any length costs one block and the line being read, and a line too long to
// be an address streams past with only its start kept.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "base/result.h"

namespace lianshuo::cli {

/// The longest line taken as an address; a longer one is refused as it streams past.
inline constexpr std::size_t kLongestInputLine = 64 * 1024;

class InputLines {
public:
    /// Fills `buffer` with up to `size` bytes: how many (0 at the end), or why the read failed.
    using Read = std::function<Result<std::size_t>(char* buffer, std::size_t size)>;

    struct Line {
        std::string text;      // without its line end; only the start of a line too long
        bool tooLong = false;  // longer than kLongestInputLine
    };

    explicit InputLines(Read read) : read_(std::move(read)) {}

    /// The next line; nullopt at the end of the input or after a failed read (see error()).
    std::optional<Line> next();
    /// Why the input could not be read to its end; empty when it was.
    const std::string& error() const { return error_; }

private:
    bool fill();

    Read read_;
    std::string block_;
    std::size_t at_ = 0;
    bool ended_ = false;
    std::string error_;
};

}  // namespace lianshuo::cli

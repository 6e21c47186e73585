#pragma once
// The CSV form of the history (UTF-8, comma-separated, CR LF line ends), and
// a file that takes the place of its target only once it is whole.

#include <filesystem>
#include <string>
#include <string_view>

#include "app/base/platform.h"
#include "history/conversionhistory.h"

namespace lianshuo {

/// One field: as it is, or in double quotes with each inner quote doubled
/// when it holds a comma, a double quote, a CR or an LF.
std::string csvField(std::string_view utf8);

/// The header line: service, long, short, created, last used, uses.
std::string_view csvHeader();

/// One entry's line, UTF-8, with the times in local time.
std::string csvLine(const HistoryEntry& entry);

/// A new file written beside its target in large pieces and renamed over it
/// by commit(); dropped when it is destroyed uncommitted or after a failure.
/// Errors are GBK reasons.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    /// Creates the temporary file beside `target`; empty or the reason.
    std::string create(const std::filesystem::path& target);
    /// Buffers `bytes`, writing a piece whenever the buffer is full; false once a write failed.
    bool append(std::string_view bytes);
    /// Writes the rest and renames the file over the target; empty or the reason.
    std::string commit();

private:
    bool flush();
    void discard();

    std::filesystem::path target_, temporary_;
    platform::File file_;
    std::string buffer_, error_;
};

}  // namespace lianshuo

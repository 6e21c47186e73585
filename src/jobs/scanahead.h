#pragma once
// Reads and scans the files of a run ahead of the one under way, on threads
// of their own: while the job converts and writes one page, the next ones
// are already read, their encoding known and their addresses found, and a
// run over a site of small pages keeps every core busy. Files too large to
// hold are left to the caller, which streams them.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/result.h"

namespace lianshuo {

/// One file as the scan ahead found it.
struct ScannedFile {
    bool scanned = false;  // false: too large to scan ahead; the caller scans it itself
    Status read;           // the system's reason (GBK) when it could not be read
    bool utf8 = false;
    /// Each address's offset and bytes, in the file's order.
    std::vector<std::pair<std::size_t, std::string>> addresses;
};

/// The size from which files are left to the caller (4 MiB unless set). Tests
/// that fail a read on purpose set 0, so that every read comes in the job's order.
void setScanAheadLimit(std::uintmax_t bytes);

class ScanAhead {
public:
    /// Starts scanning `files`; files of `largest` bytes or more are left out.
    explicit ScanAhead(std::vector<std::filesystem::path> files, std::uintmax_t largest = limit());
    /// Stops the threads, whatever they are reading.
    ~ScanAhead();
    ScanAhead(const ScanAhead&) = delete;
    ScanAhead& operator=(const ScanAhead&) = delete;

    /// The next file's scan, in the order given, waiting for it if need be.
    ScannedFile next();

private:
    static std::uintmax_t limit();
    struct Slot {
        bool done = false;
        ScannedFile file;
    };
    void work();
    bool readyFrom(std::size_t first) const;

    const std::vector<std::filesystem::path> files_;
    const std::uintmax_t largest_;
    std::mutex mutex_;
    std::condition_variable ready_, room_;
    std::vector<Slot> slots_;  // one per file
    std::size_t claimed_ = 0;  // files a thread has taken up
    std::size_t taken_ = 0;    // files handed out by next()
    static constexpr std::size_t kNobody = static_cast<std::size_t>(-1);
    // next() sleeps until the files from its own up to this one are done.
    std::size_t waitsFor_ = kNobody;
    int threadsWaiting_ = 0;  // threads asleep until there is room ahead
    bool quit_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace lianshuo

#include "jobs/scanahead.h"

#include <algorithm>
#include <atomic>

#include "jobs/addressscanner.h"

namespace lianshuo {
namespace {

// How far the threads run ahead of the job, in files. They sleep when that
// far ahead and are woken when half of it is taken: waking a thread costs
// more than scanning a small page, so it is not done for every file.
constexpr std::size_t kAhead = 16;

std::atomic<std::uintmax_t> scanAheadLimit{4u << 20};

// A file too large is left to the caller, which streams it.
ScannedFile scanWhole(const std::filesystem::path& path, std::uintmax_t below) {
    ScannedFile file;
    const Result<bool> small = scanSmallFile(
        path, file.utf8,
        [&file](std::size_t offset, std::string_view bytes) {
            file.addresses.emplace_back(offset, bytes);
            return bytes;
        },
        below);
    if (small && !*small) return {};
    file.scanned = true;
    file.read = small.status();
    return file;
}

}  // namespace

void setScanAheadLimit(std::uintmax_t bytes) {
    scanAheadLimit = bytes;
}

std::uintmax_t ScanAhead::limit() {
    return scanAheadLimit;
}

ScanAhead::ScanAhead(std::vector<std::filesystem::path> files, std::uintmax_t largest)
    : files_(std::move(files)), largest_(largest), slots_(files_.size()) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t count = std::min<std::size_t>({cores, 4, files_.size()});
    for (std::size_t n = 0; n < count; ++n) threads_.emplace_back([this] { work(); });
}

ScanAhead::~ScanAhead() {
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    room_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

ScannedFile ScanAhead::next() {
    std::unique_lock lock(mutex_);
    if (taken_ >= slots_.size()) return {};
    Slot& slot = slots_[taken_];
    if (!slot.done) {
        // Woken once for a few files, not once for each: on a site of small pages the
        // hand-over costs about as much as the scan.
        waitsFor_ = std::min(taken_ + kAhead / 4, slots_.size()) - 1;
        ready_.wait(lock, [this] { return readyFrom(taken_); });
        waitsFor_ = kNobody;
    }
    ScannedFile file = std::move(slot.file);
    slot.file = {};
    ++taken_;
    const bool wake =
        threadsWaiting_ > 0 && claimed_ < slots_.size() && claimed_ <= taken_ + kAhead / 2;
    lock.unlock();
    if (wake) room_.notify_all();
    return file;
}

bool ScanAhead::readyFrom(std::size_t first) const {
    for (std::size_t index = first; index <= waitsFor_ && index < slots_.size(); ++index)
        if (!slots_[index].done) return false;
    return true;
}

void ScanAhead::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        ++threadsWaiting_;
        room_.wait(lock, [this] {
            return quit_ || claimed_ >= slots_.size() || claimed_ < taken_ + kAhead;
        });
        --threadsWaiting_;
        if (quit_ || claimed_ >= slots_.size()) return;
        const std::size_t index = claimed_++;
        lock.unlock();
        ScannedFile file = scanWhole(files_[index], largest_);
        lock.lock();
        slots_[index].file = std::move(file);
        slots_[index].done = true;
        if (waitsFor_ != kNobody && index <= waitsFor_ && readyFrom(taken_)) ready_.notify_one();
    }
}

}  // namespace lianshuo

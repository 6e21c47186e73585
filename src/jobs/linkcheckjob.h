#pragma once
// The check of stored short addresses: each asked where it leads on up to N threads of its own,
// the findings handed back on the job's loop in the order of the list and kept in the history
// with their time. A stop aborts the requests under way; what was found before it is kept.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/result.h"
#include "history/conversionhistory.h"
#include "jobs/jobloop.h"
#include "services/linkcheck.h"

namespace lianshuo {

/// One stored conversion to check.
struct StoredLink {
    std::int64_t id = 0;  // its history row; 0: not kept anywhere
    std::string shortUrl, longUrl;
};

class LinkCheckJob {
public:
    struct Events {
        /// The finding for links[index], in the order of the list, on the loop.
        std::function<void(std::size_t index, const StoredLink& link, const LinkCheck& check)>
            checked;
        /// Every link is checked, or a stop came and no request is under way any more.
        std::function<void()> done;
    };

    /// `history` (null: none) keeps each finding.
    LinkCheckJob(JobLoop& loop, ConversionHistory* history);
    /// Stops, aborting the requests in flight, and waits for the threads.
    ~LinkCheckJob();
    LinkCheckJob(const LinkCheckJob&) = delete;
    LinkCheckJob& operator=(const LinkCheckJob&) = delete;

    /// Checks `links` on `jobs` threads (at least 1) with the retries `options` give (its stop
    /// is the job's own); returns at once.
    void start(std::vector<StoredLink> links, int jobs, LinkHopOptions options, Events events);
    /// Aborts the requests under way; done() follows on the loop.
    void stop();

    bool running() const { return running_; }
    bool stopped() const { return stop_; }
    /// Why a finding could not be kept in the history (the first failure); ok when all were.
    const Status& historyStatus() const { return historyStatus_; }

private:
    void found(std::size_t index, LinkCheck check);
    void workerEnded();
    void keepFindings(bool all);
    void join();

    JobLoop& loop_;
    ConversionHistory* history_;
    std::atomic<bool> ownStop_{false};
    std::atomic<bool>& stop_;
    std::shared_ptr<char> alive_ = std::make_shared<char>();

    // On the loop's thread.
    bool running_ = false;
    Events events_;
    std::shared_ptr<const std::vector<StoredLink>> links_;
    std::vector<std::unique_ptr<LinkCheck>> findings_;  // by index, until delivered
    std::size_t delivered_ = 0;
    int workersLeft_ = 0;
    std::vector<LinkCheckRecord> unkept_;
    Status historyStatus_;

    std::atomic<std::size_t> next_{0};
    std::vector<std::thread> workers_;
};

}  // namespace lianshuo

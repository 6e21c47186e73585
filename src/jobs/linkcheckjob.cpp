#include "jobs/linkcheckjob.h"

#include <algorithm>
#include <ctime>

namespace lianshuo {
namespace {

// Findings are kept in the history in batches of this many: one transaction each.
constexpr std::size_t kFindingsPerWrite = 512;

}  // namespace

LinkCheckJob::LinkCheckJob(JobLoop& loop, ConversionHistory* history)
    : loop_(loop),
      history_(history),
      stop_(loop.stopSignal() != nullptr ? *loop.stopSignal() : ownStop_) {}

LinkCheckJob::~LinkCheckJob() {
    stop_ = true;
    join();
    // The findings that came back are no less true for nobody seeing them.
    keepFindings(true);
}

void LinkCheckJob::join() {
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
}

void LinkCheckJob::start(std::vector<StoredLink> links, int jobs, LinkHopOptions options,
                         Events events) {
    join();
    stop_ = false;
    running_ = true;
    events_ = std::move(events);
    links_ = std::make_shared<const std::vector<StoredLink>>(std::move(links));
    findings_.clear();
    findings_.resize(links_->size());
    delivered_ = 0;
    next_ = 0;
    historyStatus_ = {};
    options.stop = &stop_;
    options.whileWaiting = nullptr;
    const int threads = static_cast<int>(
        std::min<std::size_t>(static_cast<std::size_t>(std::max(1, jobs)), links_->size()));
    workersLeft_ = threads;
    if (threads == 0) {
        running_ = false;
        if (events_.done)
            loop_.post([this, alive = std::weak_ptr<char>(alive_)] {
                if (!alive.expired() && events_.done) events_.done();
            });
        return;
    }
    for (int i = 0; i < threads; ++i) {
        workers_.emplace_back([this, options, links = links_, alive = std::weak_ptr<char>(alive_)] {
            for (std::size_t index = next_++; index < links->size() && !stop_; index = next_++) {
                const StoredLink& link = (*links)[index];
                LinkCheck check = checkShortLink(link.shortUrl, link.longUrl, options);
                loop_.post([this, alive, index, check = std::move(check)]() mutable {
                    if (!alive.expired()) found(index, std::move(check));
                });
            }
            loop_.post([this, alive] {
                if (!alive.expired()) workerEnded();
            });
        });
    }
}

void LinkCheckJob::stop() {
    stop_ = true;
}

void LinkCheckJob::found(std::size_t index, LinkCheck check) {
    // A request a stop cut short found nothing.
    if (check.stopped) return;
    const StoredLink& link = (*links_)[index];
    if (link.id != 0) {
        unkept_.push_back({link.id, link.shortUrl, static_cast<int>(check.state), check.target,
                           static_cast<std::int64_t>(std::time(nullptr))});
        keepFindings(false);
    }
    findings_[index] = std::make_unique<LinkCheck>(std::move(check));
    while (delivered_ < findings_.size() && findings_[delivered_]) {
        const std::unique_ptr<LinkCheck> next = std::move(findings_[delivered_]);
        if (events_.checked) events_.checked(delivered_, (*links_)[delivered_], *next);
        ++delivered_;
    }
}

void LinkCheckJob::keepFindings(bool all) {
    if (history_ == nullptr || unkept_.empty()) return;
    if (!all && unkept_.size() < kFindingsPerWrite) return;
    if (const Status kept = history_->recordChecks(unkept_); !kept.ok() && historyStatus_.ok())
        historyStatus_ = kept;
    unkept_.clear();
}

void LinkCheckJob::workerEnded() {
    if (--workersLeft_ > 0) return;
    keepFindings(true);
    running_ = false;
    if (events_.done) events_.done();
}

}  // namespace lianshuo

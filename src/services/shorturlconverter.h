#pragma once
// The one entry every conversion goes through: the batch, the file converter
// and the interface test.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "history/conversionmemory.h"
#include "services/builtinhosts.h"
#include "services/conversionoutcome.h"
#include "services/conversionsource.h"
#include "services/fallbackchain.h"
#include "services/linkhop.h"
#include "services/runplan.h"
#include "services/shorturlinterface.h"

namespace lianshuo {

class ConversionMemory;
class HttpRequestObject;
class TokenKeeper;

class ShortUrlConverter {
public:
    ShortUrlConverter(const ConversionSource& source, BuiltinHosts hosts);
    ~ShortUrlConverter();

    enum class Mode {
        kSnapshotAndConvert = 0,  // the interface test
        kSnapshotAndLabel = 1,    // the start of a run: returns the service label
        kConvert = 2,             // every address of a run, with the last snapshot
    };
    static constexpr Mode kSnapshotAndConvert = Mode::kSnapshotAndConvert;
    static constexpr Mode kSnapshotAndLabel = Mode::kSnapshotAndLabel;
    static constexpr Mode kConvert = Mode::kConvert;

    /// Converts `longUrl` with the chosen service (read again at every call),
    /// or, in kSnapshotAndLabel, snapshots the panel and names the service.
    /// The short address, the service label, or "生成错误" for any failure.
    std::string convertUrl(std::string_view longUrl, Mode mode);

    /// Converts `longUrl` (kConvert, or kSnapshotAndConvert for the interface
    /// test), retrying failures that may pass on a second try.
    ConversionOutcome convert(std::string_view longUrl, Mode mode = Mode::kConvert);

    /// Retries after a time-out, a reset, or status 429/502/503/504: `retries`
    /// more tries, waiting firstDelayMs, then twice that (or what the reply's
    /// Retry-After asks, at most 60 s).
    struct RetryPolicy {
        int retries = 2;
        long firstDelayMs = 1000;
    };
    void setRetryPolicy(RetryPolicy policy) { retryPolicy_ = policy; }
    const RetryPolicy& retryPolicy() const { return retryPolicy_; }

    /// One conversion of a run, taken on the thread that owns the converter and
    /// carried out on any: the service, token and panel snapshot as they were
    /// when it was taken.
    struct Task {
        std::string longUrl;
        int service = kCustomService;
        std::string token;
        std::shared_ptr<const ShortUrlInterface> definition;
        // The custom interface's "备用接口", asked in order after a failure on the
        // service's side (null or empty: none).
        std::shared_ptr<const FallbackChain> fallbacks = nullptr;
        RetryPolicy retry;
        // The slot's work for the first moment a request waits for its reply (null: none).
        std::function<void()>* whileWaiting = nullptr;
        // Why the token could not be had: the conversion fails with it, sending nothing.
        std::string tokenFailure = std::string();
        // The tokens the interface's token request obtains, shared by the run's tasks.
        std::shared_ptr<TokenKeeper> tokens = nullptr;
        // An expanding or migrating run's plan (null: shorten `longUrl`), and the long
        // address the history gave for the short one (empty: follow its redirects).
        std::shared_ptr<const RunPlan> plan = nullptr;
        std::string knownLong = std::string();
        // Ask the new short address where it leads (see setVerify()).
        bool verify = false;
        // A short address the history gave: only verified, never converted again.
        std::optional<ConversionOutcome> known = std::nullopt;
    };
    /// The kConvert conversion of `longUrl` with the last snapshot, under `plan` (null: a
    /// plain conversion).
    Task prepare(std::string_view longUrl,
                 const std::shared_ptr<const RunPlan>& plan = nullptr) const;
    /// The verification of a short address `known` the history gave for `longUrl`.
    Task prepareVerification(std::string_view longUrl, ConversionOutcome known) const;

    /// Asks every short address a conversion gives (or the history, which may be out of date)
    /// where it leads, on the same slot, with the same stop and retries: one that leads
    /// elsewhere or answers 404/410 makes the conversion fail; one that cannot tell stays a
    /// success that says why.
    void setVerify(bool verify) { verify_ = verify; }
    bool verifies() const { return verify_; }
    /// Carries out `task` with its retries; safe on any thread while the
    /// converter lives. A set `stop` aborts it; `throttled`, when given, is set
    /// once the service answered 429 (too many requests).
    ConversionOutcome perform(const Task& task, const std::atomic<bool>* stop,
                              bool* throttled = nullptr) const;
    /// The history's short address for `longUrl`, when the history is in use
    /// and has a good one: under the chosen service, else under each of its
    /// fallbacks. Under a plan: a short address the run leaves as it is, or the
    /// long address (expanding) or new short one (migrating) the history gives
    /// for a short one.
    std::optional<ConversionOutcome> recall(std::string_view longUrl,
                                            const RunPlan* plan = nullptr);
    /// Keeps a fresh success in the history (failures never), under the
    /// interface that made it; under a plan, the pair an expansion found too.
    void remember(std::string_view longUrl, const ConversionOutcome& outcome,
                  const RunPlan* plan = nullptr);

    /// A run's plan: the hosts of the built-in services and presets, `rules`'
    /// hosts and the short addresses the history keeps (read once, here).
    std::shared_ptr<const RunPlan> planRun(ShortAddressRules rules);

    /// The flag of the running job: a set flag aborts the request in flight
    /// and ends a retry wait at once. Null when nothing can stop a conversion.
    void setStopFlag(const std::atomic<bool>* flag) { stopFlag_ = flag; }

    /// In kConvert, looks each address up in `history` first (unless `reuse`
    /// is off, or `refresh` asks for a new short address) and keeps each
    /// success there; failures are never kept. Null: no history.
    void setHistory(ConversionMemory* history, bool reuse = true, bool refresh = false);
    /// Told once per run when the history fails; the run then goes on
    /// without it. Standard error until one is set.
    void setHistoryWarning(std::function<void(std::string_view message)> warn);
    /// The history key of the chosen service, with the last snapshot (its
    /// token tagged by the history in use).
    const std::string& historyKey() const;

    /// The panel's definition as taken by the last snapshot.
    const ShortUrlInterface& currentInterface() const { return *snapshot_; }

    const BuiltinHosts& hosts() const { return hosts_; }

private:
    std::string serviceLabel(int service) const;
    // A run's tokens are its own: each snapshot starts without any.
    void renewTokens();
    void snapshotPanel();
    ConversionOutcome retried(const Task& task, const std::atomic<bool>* stop,
                              bool* throttled) const;
    ConversionOutcome performOnce(const Task& task, const std::atomic<bool>* stop) const;
    ConversionOutcome expandAndConvert(const Task& task, const std::atomic<bool>* stop,
                                       bool* throttled) const;
    bool usesHistory() const;
    void keep(std::string_view key, std::string_view longUrl, std::string_view shortUrl);
    ConversionOutcome convertWithFallbacks(const Task& task, const std::atomic<bool>* stop,
                                           bool* throttled) const;
    ConversionOutcome convertWithBaidu(std::string_view longUrl, std::string_view token,
                                       const std::atomic<bool>* stop,
                                       std::function<void()>* whileWaiting) const;
    ConversionOutcome baiduOnce(std::string_view longUrl, std::string_view token,
                                const std::atomic<bool>* stop,
                                std::function<void()>* whileWaiting) const;
    ConversionOutcome convertWithWeibo(std::string_view longUrl,
                                       const std::atomic<bool>* stop) const;
    void suspendHistory(const std::string& reason);

    const ConversionSource& source_;
    BuiltinHosts hosts_;
    // Shared with the tasks in flight, so a new snapshot never changes one under way.
    std::shared_ptr<const ShortUrlInterface> snapshot_;
    std::shared_ptr<TokenKeeper> tokens_;             // of the runs that start from snapshot_
    std::shared_ptr<const FallbackChain> fallbacks_;  // the snapshot's, resolved with it
    // The Weibo relay keeps one request object for the life of the converter;
    // parallel slots take turns on it.
    std::unique_ptr<HttpRequestObject> weiboRequest_;
    mutable std::mutex weiboMutex_;
    RetryPolicy retryPolicy_;
    bool verify_ = false;
    const std::atomic<bool>* stopFlag_ = nullptr;
    ConversionMemory* history_ = nullptr;
    bool reuse_ = true, refresh_ = false;
    bool historySuspended_ = false;  // until the next run's snapshot
    // The last history key, with the service and snapshot it was made for (held, so that a
    // new snapshot can never reuse the address of the one the key was made for).
    mutable std::string key_, formerKey_;
    // The keys of the snapshot's fallbacks, in its order (empty for one that could not be had).
    mutable std::vector<std::pair<std::string, std::string>> fallbackKeys_;
    mutable int keyService_ = -1;
    mutable std::shared_ptr<const ShortUrlInterface> keySnapshot_;
    mutable const ConversionMemory* keyHistory_ = nullptr;  // the history that tagged the token
    mutable Status keyFailure_;                             // why that history could not tag it
    std::function<void(std::string_view)> historyWarning_;
};

/// The custom-interface engine: encode, fill the templates, send, then cut,
/// replace, add prefix and suffix and make sure of a scheme; the result must
/// be a web address. `cancel`, when set during the request or the reading of
/// the reply, aborts it; the reply's regular expressions get kReplyRegexTime.
/// An interface with a token request takes its token from `tokens` (null:
/// one obtained for this conversion alone), and a new one after a 401.
ConversionOutcome convertWithInterface(std::string_view longUrl,
                                       const ShortUrlInterface& definition,
                                       const std::atomic<bool>* cancel = nullptr,
                                       std::function<void()>* whileWaiting = nullptr,
                                       TokenKeeper* tokens = nullptr);

/// `outcome` (a success for `longUrl`) after asking its short address where it leads; see
/// ShortUrlConverter::setVerify.
ConversionOutcome verifiedOutcome(ConversionOutcome outcome, std::string_view longUrl,
                                  const LinkHopOptions& options);

/// The most bytes a filled-in address or body may have.
inline constexpr std::size_t kLongestFilledTemplate = 1024 * 1024;

/// The fixed definition the TinyURL service runs through the engine.
ShortUrlInterface tinyUrlInterface(std::string_view host);

}  // namespace lianshuo

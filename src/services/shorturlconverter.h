#pragma once
// The one entry every conversion goes through: the batch, the file converter
// and the interface test.

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "services/builtinhosts.h"
#include "services/conversionoutcome.h"
#include "services/conversionsource.h"
#include "services/shorturlinterface.h"

namespace lianshuo {

class ConversionMemory;
class HttpRequestObject;

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
    /// The history key of the chosen service, with the last snapshot.
    std::string historyKey() const;

    /// The panel's definition as taken by the last snapshot.
    const ShortUrlInterface& currentInterface() const { return currentInterface_; }

    const BuiltinHosts& hosts() const { return hosts_; }

    ConversionOutcome convertWithBaidu(std::string_view longUrl, std::string_view token);
    ConversionOutcome convertWithWeibo(std::string_view longUrl);
    ConversionOutcome convertWithTinyUrl(std::string_view longUrl);

private:
    std::string serviceLabel(int service) const;
    ConversionOutcome convertOnce(std::string_view longUrl, Mode mode);
    ConversionOutcome convertWithRetries(std::string_view longUrl, Mode mode);
    std::optional<ConversionOutcome> reuseFromHistory(const std::string& key,
                                                      std::string_view longUrl);
    void keepInHistory(const std::string& key, std::string_view longUrl,
                       const std::string& shortUrl);
    void suspendHistory(const std::string& reason);

    const ConversionSource& source_;
    BuiltinHosts hosts_;
    ShortUrlInterface currentInterface_;
    // The Weibo relay keeps one request object for the life of the converter.
    std::unique_ptr<HttpRequestObject> weiboRequest_;
    RetryPolicy retryPolicy_;
    const std::atomic<bool>* stopFlag_ = nullptr;
    ConversionMemory* history_ = nullptr;
    bool reuse_ = true, refresh_ = false;
    bool historySuspended_ = false;  // until the next run's snapshot
    std::function<void(std::string_view)> historyWarning_;
};

/// The custom-interface engine: encode, fill the templates, send, then cut,
/// replace, add prefix and suffix and make sure of a scheme; the result must
/// be a web address. `cancel`, when set during the request, aborts it.
ConversionOutcome convertWithInterface(std::string_view longUrl,
                                       const ShortUrlInterface& definition,
                                       const std::atomic<bool>* cancel = nullptr);

/// The most bytes a filled-in address or body may have.
inline constexpr std::size_t kLongestFilledTemplate = 1024 * 1024;

/// The fixed definition the TinyURL service runs through the engine.
ShortUrlInterface tinyUrlInterface(std::string_view host);

}  // namespace lianshuo

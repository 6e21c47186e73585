#include "services/shorturlconverter.h"

#include <iostream>
#include <optional>

#include "base/charset.h"
#include "base/gbk.h"
#include "base/helpers.h"
#include "history/conversionmemory.h"
#include "http/charsets.h"
#include "http/httprequestobject.h"
#include "script/jsonreader.h"
#include "services/encoding.h"
#include "services/historykey.h"
#include "services/interfacerequest.h"
#include "services/interfacestore.h"
#include "services/linkcheck.h"
#include "services/replyreader.h"
#include "services/requestpacer.h"
#include "services/secretmask.h"
#include "services/servicerequest.h"

namespace lianshuo {
namespace {

// The host part of an address as written: after the first "//", up to the next "/".
std::string writtenHost(std::string_view address) {
    const std::size_t slashes = findText(address, "//");
    const std::size_t start = slashes == npos ? 0 : slashes + 2;
    const std::size_t end = findText(address, "/", start);
    return std::string(address.substr(start, end == npos ? npos : end - start));
}

// The reply's text made into a short address: whatever the chain left,
// trimmed, with a scheme, and checked to be an address at all.
ConversionOutcome judgeResult(std::string text, const std::string& replyText) {
    text = trimWhiteSpace(text);
    if (text.empty())
        return ConversionOutcome::failed(FailureKind::NothingExtracted, escapedExcerpt(replyText));
    if (!startsWithNoCase(text, "http://") && !startsWithNoCase(text, "https://"))
        text.insert(0, "http://");
    if (!isWebAddress(text))
        return ConversionOutcome::failed(FailureKind::NotWebAddress, escapedExcerpt(text));
    return ConversionOutcome::success(std::move(text));
}

ConversionOutcome stoppedOr(ConversionOutcome outcome, const std::atomic<bool>* cancel) {
    if (!outcome.ok() && cancel != nullptr && *cancel)
        return ConversionOutcome::failed(FailureKind::Stopped, {});
    return outcome;
}

// A reason may quote the reply (a service that echoes the request) or the request itself.
ConversionOutcome masked(ConversionOutcome outcome, const std::vector<std::string>& secrets) {
    if (!outcome.ok()) outcome.message = SecretMask(secrets).apply(outcome.message);
    return outcome;
}

// A regular expression cut short leaves the reply unread: that, not what was
// found before, is the outcome.
std::optional<ConversionOutcome> cutShort(const ReplyReader& reader) {
    switch (reader.interruption()) {
        case RegexInterruption::None:
            return std::nullopt;
        case RegexInterruption::TimedOut:
            return ConversionOutcome::failed(FailureKind::NothingExtracted, "正则表达式匹配超时");
        case RegexInterruption::Stopped:
            return ConversionOutcome::failed(FailureKind::Stopped, {});
    }
    return std::nullopt;
}

ConversionOutcome convertUnmasked(std::string_view longUrl, const ShortUrlInterface& d,
                                  const std::atomic<bool>* cancel,
                                  std::function<void()>* whileWaiting) {
    const AddressLine line = splitAddressLine(longUrl);
    FilledRequest filled = fillInterfaceRequest(d, line.longUrl, line.alias);
    if (!filled.failure.ok()) return filled.failure;
    filled.request.cancel = cancel;
    filled.request.whileWaiting = whileWaiting;
    const std::string paceKey = interfaceName(d) + "\n" + d.address;
    RequestPacer::shared().waitTurn(paceKey, d.pauseMs, cancel);
    const ServiceReply reply = sendServiceRequest(filled.request, filled.viaRequestObject);
    RequestPacer::shared().finished(paceKey);
    ReplyReader reader(d, reply, cancel);
    if (ConversionOutcome failure = replyFailure(reply, d.successStatuses); !failure.ok()) {
        if (failure.failure == FailureKind::HttpStatus) {
            if (std::string words = reader.errorText(); !words.empty()) failure.message = words;
            // The status stays the reason; the words say why the service's own are missing.
            if (const auto cut = cutShort(reader); cut && cut->failure != FailureKind::Stopped)
                failure.message = cut->message;
        }
        return stoppedOr(std::move(failure), cancel);
    }

    // A service that says "too many" or "refused" in a reply it sends as a success.
    if (!d.throttleRule.empty() && reader.holds(d.throttleRule)) {
        if (std::optional<ConversionOutcome> cut = cutShort(reader)) return *cut;
        ConversionOutcome throttled =
            ConversionOutcome::failed(FailureKind::HttpStatus, "限流表达式成立：服务要求放慢", 429);
        throttled.retryable = true;
        return throttled;
    }
    if (!d.successRule.empty() && !reader.holds(d.successRule)) {
        if (std::optional<ConversionOutcome> cut = cutShort(reader)) return *cut;
        std::string words = reader.errorText();
        if (words.empty()) words = serviceMessage(reply.text);
        if (words.empty()) words = escapedExcerpt(trimWhiteSpace(reply.text));
        return ConversionOutcome::failed(FailureKind::NothingExtracted, words);
    }

    std::string text = reader.shortUrlText();
    if (std::optional<ConversionOutcome> cut = cutShort(reader)) return *cut;
    if (reader.notText())
        return ConversionOutcome::failed(FailureKind::NotWebAddress, escapedExcerpt(text));
    if (d.replaceEnabled) text = replaceEach(text, d.findList, d.replaceList);
    if (trimWhiteSpace(text).empty()) {
        std::string words = reader.errorText();
        if (std::optional<ConversionOutcome> cut = cutShort(reader)) return *cut;
        if (words.empty()) words = reader.readProblem();
        return ConversionOutcome::failed(FailureKind::NothingExtracted,
                                         words.empty() ? escapedExcerpt(reply.text) : words);
    }
    if (d.insertEnabled) text = d.prefix + text + d.suffix;
    return judgeResult(std::move(text), reply.text);
}

}  // namespace

ConversionOutcome convertWithInterface(std::string_view longUrl, const ShortUrlInterface& d,
                                       const std::atomic<bool>* cancel,
                                       std::function<void()>* whileWaiting) {
    return masked(convertUnmasked(longUrl, d, cancel, whileWaiting), interfaceSecrets(d));
}

ConversionOutcome verifiedOutcome(ConversionOutcome outcome, std::string_view longUrl,
                                  const LinkHopOptions& options) {
    if (!outcome.ok()) return outcome;
    const LinkCheck check = checkShortLink(outcome.shortUrl, longUrl, options);
    // The service has made the address: a stop during the check must not lose it.
    if (check.stopped) {
        outcome.verification = Verification::Unverifiable;
        outcome.unverifiedReason = ConversionOutcome::failed(FailureKind::Stopped, {}).reason();
        return outcome;
    }
    switch (check.state) {
        case LinkState::Valid:
            outcome.verification = Verification::Verified;
            break;
        case LinkState::Unknown:
            outcome.verification = Verification::Unverifiable;
            outcome.unverifiedReason = check.reason;
            break;
        case LinkState::Elsewhere:
        case LinkState::Dead: {
            ConversionOutcome wrong = ConversionOutcome::failed(check.state == LinkState::Dead
                                                                    ? FailureKind::DeadLink
                                                                    : FailureKind::PointsElsewhere,
                                                                check.reason, check.status);
            wrong.verification = Verification::Wrong;
            wrong.fromHistory = outcome.fromHistory;
            outcome = std::move(wrong);
            break;
        }
    }
    outcome.target = check.target;
    return outcome;
}

ShortUrlInterface tinyUrlInterface(std::string_view host) {
    ShortUrlInterface d;
    d.postMode = false;
    d.utf8Encoding = true;
    d.address = "http://" + std::string(host) +
                "/create.php?source=indexpage&url=#长网址#?&submit=Make+TinyURL%21&alias=";
    d.cutEnabled = true;
    d.leftMarker = "<div class=''indent''><b>";
    d.rightMarker = "</b>";
    return d;
}

ShortUrlConverter::ShortUrlConverter(const ConversionSource& source, BuiltinHosts hosts)
    : source_(source),
      hosts_(std::move(hosts)),
      snapshot_(std::make_shared<const ShortUrlInterface>()),
      weiboRequest_(std::make_unique<HttpRequestObject>()) {}

ShortUrlConverter::~ShortUrlConverter() = default;

std::string ShortUrlConverter::convertUrl(std::string_view longUrl, Mode mode) {
    if (mode == kSnapshotAndLabel) {
        snapshot_ = std::make_shared<const ShortUrlInterface>(source_.readInterfaceFromPanel());
        // Each run tries the history again, whatever failed in the last one.
        historySuspended_ = false;
        return serviceLabel(source_.selectedService());
    }
    const ConversionOutcome outcome = convert(longUrl, mode);
    return outcome.ok() ? outcome.shortUrl : conversionErrorText();
}

ConversionOutcome ShortUrlConverter::convert(std::string_view longUrl, Mode mode) {
    // The interface test always asks the service: it tests the service, not the history.
    if (mode != kConvert) {
        if (source_.selectedService() == kCustomService)
            snapshot_ = std::make_shared<const ShortUrlInterface>(source_.readInterfaceFromPanel());
        return perform(prepare(longUrl), stopFlag_);
    }
    if (std::optional<ConversionOutcome> kept = recall(longUrl)) {
        if (!verify_) return *kept;
        return perform(prepareVerification(longUrl, std::move(*kept)), stopFlag_);
    }
    ConversionOutcome outcome = perform(prepare(longUrl), stopFlag_);
    remember(longUrl, outcome);
    return outcome;
}

ShortUrlConverter::Task ShortUrlConverter::prepare(std::string_view longUrl) const {
    const int service = source_.selectedService();
    Task task{std::string(longUrl), service,
              service == kBaiduService ? source_.baiduToken() : std::string(), snapshot_,
              retryPolicy_};
    if (service == kBaiduService) task.tokenFailure = source_.baiduTokenFailure();
    task.verify = verify_;
    return task;
}

ShortUrlConverter::Task ShortUrlConverter::prepareVerification(std::string_view longUrl,
                                                               ConversionOutcome known) const {
    Task task;
    task.longUrl = std::string(longUrl);
    task.retry = retryPolicy_;
    task.verify = true;
    task.known = std::move(known);
    return task;
}

void ShortUrlConverter::setHistory(ConversionMemory* history, bool reuse, bool refresh) {
    history_ = history;
    reuse_ = reuse;
    refresh_ = refresh;
    historySuspended_ = false;
}

void ShortUrlConverter::setHistoryWarning(std::function<void(std::string_view)> warn) {
    historyWarning_ = std::move(warn);
}

const std::string& ShortUrlConverter::historyKey() const {
    // Asked twice per conversion: the key is made again only for another service or snapshot.
    const int service = source_.selectedService();
    if (service != keyService_ || keySnapshot_ != snapshot_ || keyHistory_ != history_) {
        keyFailure_ = {};
        const auto tag = [this](std::string_view secret) {
            if (history_ == nullptr) return std::string();
            HistoryTag made = history_->secretTag(secret);
            if (!made.status.ok()) keyFailure_ = made.status;
            return made.text;
        };
        key_ = historyServiceKey(service, hosts_, *snapshot_, tag);
        formerKey_ = formerHistoryServiceKey(service, *snapshot_);
        // A key without its tag is made again next time.
        keyService_ = keyFailure_.ok() ? service : -1;
        keySnapshot_ = snapshot_;
        keyHistory_ = history_;
    }
    return key_;
}

std::optional<ConversionOutcome> ShortUrlConverter::recall(std::string_view longUrl) {
    if (history_ == nullptr || historySuspended_ || !reuse_ || refresh_) return std::nullopt;
    const std::string& key = historyKey();
    if (!keyFailure_.ok()) {
        suspendHistory(keyFailure_.reason());
        return std::nullopt;
    }
    HistoryLookup hit = history_->lookupWithFormer(key, formerKey_, longUrl);
    if (!hit.status.ok()) suspendHistory(hit.status.reason());
    // A row edited by hand into something that is no address is converted again, and replaced.
    if (!hit.shortUrl || !isWebAddress(*hit.shortUrl)) return std::nullopt;
    ConversionOutcome outcome = ConversionOutcome::success(std::move(*hit.shortUrl));
    outcome.fromHistory = true;
    return outcome;
}

void ShortUrlConverter::remember(std::string_view longUrl, const ConversionOutcome& outcome) {
    if (history_ == nullptr || historySuspended_ || !outcome.ok() || outcome.fromHistory) return;
    const std::string& key = historyKey();
    if (!keyFailure_.ok()) {
        suspendHistory(keyFailure_.reason());
        return;
    }
    if (const Status status = history_->record(key, longUrl, outcome.shortUrl); !status.ok())
        suspendHistory(status.reason());
}

void ShortUrlConverter::suspendHistory(const std::string& reason) {
    if (historySuspended_) return;
    historySuspended_ = true;
    const std::string message = "历史出错，本次运行不再使用历史：" + reason;
    if (historyWarning_)
        historyWarning_(message);
    else
        std::cerr << toUtf8(message) << '\n';
}

ConversionOutcome ShortUrlConverter::perform(const Task& task, const std::atomic<bool>* stop,
                                             bool* throttled) const {
    ConversionOutcome outcome =
        task.known ? *task.known : convertWithRetries(task, stop, throttled);
    if (!task.verify || !outcome.ok()) return outcome;
    return verifiedOutcome(std::move(outcome), splitAddressLine(task.longUrl).longUrl,
                           {.stop = stop,
                            .retries = task.retry.retries,
                            .firstDelayMs = task.retry.firstDelayMs,
                            .whileWaiting = task.whileWaiting});
}

ConversionOutcome ShortUrlConverter::convertWithRetries(const Task& task,
                                                        const std::atomic<bool>* stop,
                                                        bool* throttled) const {
    static const std::atomic<bool> kNeverStopped{false};
    const std::atomic<bool>& stopped = stop != nullptr ? *stop : kNeverStopped;
    ConversionOutcome outcome = performOnce(task, stop);
    long delayMs = task.retry.firstDelayMs;
    for (int retry = 0;; ++retry) {
        if (outcome.status == 429 && throttled != nullptr) *throttled = true;
        if (retry >= task.retry.retries || !outcome.retryable || stopped) break;
        const long waitMs = outcome.retryAfterSeconds >= 0
                                ? std::min(outcome.retryAfterSeconds, 60L) * 1000
                                : delayMs;
        waitInterruptibly(waitMs, stopped);
        if (stopped) return ConversionOutcome::failed(FailureKind::Stopped, {});
        outcome = performOnce(task, stop);
        delayMs *= 2;
    }
    return outcome;
}

ConversionOutcome ShortUrlConverter::performOnce(const Task& task,
                                                 const std::atomic<bool>* stop) const {
    // Only a custom interface has a use for the alias after a tab.
    const std::string address = splitAddressLine(task.longUrl).longUrl;
    switch (task.service) {
        case kBaiduService:
            if (!task.tokenFailure.empty())
                return ConversionOutcome::failed(FailureKind::Request, task.tokenFailure);
            return convertWithBaidu(address, task.token, stop, task.whileWaiting);
        case kWeiboService:
            return convertWithWeibo(address, stop);
        case kTinyUrlService:
            return convertWithInterface(address, tinyUrlInterface(hosts_.tinyurl), stop,
                                        task.whileWaiting);
        default:
            return convertWithInterface(task.longUrl, *task.definition, stop, task.whileWaiting);
    }
}

std::string ShortUrlConverter::serviceLabel(int service) const {
    switch (service) {
        case kBaiduService:
            return hosts_.baidu;
        case kWeiboService:
            return hosts_.weibo;
        case kTinyUrlService:
            return hosts_.tinyurl;
        default:
            return writtenHost(snapshot_->address);
    }
}

ConversionOutcome ShortUrlConverter::convertWithBaidu(std::string_view longUrl,
                                                      std::string_view token,
                                                      const std::atomic<bool>* stop,
                                                      std::function<void()>* whileWaiting) const {
    return masked(baiduOnce(longUrl, token, stop, whileWaiting), {std::string(token)});
}

ConversionOutcome ShortUrlConverter::baiduOnce(std::string_view longUrl, std::string_view token,
                                               const std::atomic<bool>* stop,
                                               std::function<void()>* whileWaiting) const {
    ServiceRequest request;
    request.url = "https://" + hosts_.baidu + "/admin/v2/create";
    request.post = true;
    // Escaped, so an address holding a quote cannot break the JSON or add fields to it.
    request.body =
        "{\"Url\":\"" + escapeJsonString(longUrl) + "\",\"TermOfValidity\":\"long-term\"}";
    request.headers = "Token: " + std::string(token);
    request.secrets = {std::string(token)};
    request.cancel = stop;
    request.whileWaiting = whileWaiting;
    const ServiceReply reply = sendServiceRequest(request, true);
    if (ConversionOutcome failure = replyFailure(reply); !failure.ok())
        return stoppedOr(std::move(failure), stop);
    JsonReader json;
    const std::string value = unescapeJsonText(json.getValue(reply.text, "ShortUrl", false));
    if (value.empty()) {
        const std::string message = unescapeJsonText(json.getValue(reply.text, "err_msg", false));
        return ConversionOutcome::failed(FailureKind::NothingExtracted,
                                         escapedExcerpt(message.empty() ? reply.text : message));
    }
    return judgeResult(value, reply.text);
}

ConversionOutcome ShortUrlConverter::convertWithWeibo(std::string_view longUrl,
                                                      const std::atomic<bool>* stop) const {
    ServiceRequest request;
    request.url =
        "https://" + hosts_.relay + "/weibo_url.php?url=" + percentEncodeComponent(longUrl, true);
    request.cancel = stop;
    ServiceReply reply;
    {
        const std::lock_guard lock(weiboMutex_);
        reply = sendOnRequestObject(*weiboRequest_, request);
    }
    if (ConversionOutcome failure = replyFailure(reply); !failure.ok())
        return stoppedOr(std::move(failure), stop);
    return judgeResult(reply.text, reply.text);
}

}  // namespace lianshuo

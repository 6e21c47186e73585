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
#include "services/expansion.h"
#include "services/historykey.h"
#include "services/interfacerequest.h"
#include "services/interfacerules.h"
#include "services/interfacestore.h"
#include "services/linkcheck.h"
#include "services/replyreader.h"
#include "services/requestpacer.h"
#include "services/secretmask.h"
#include "services/servicerequest.h"
#include "services/tokenkeeper.h"

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

// `secrets` gets the tokens the conversion was sent with, to be masked as the keys are.
ConversionOutcome convertUnmasked(std::string_view longUrl, const ShortUrlInterface& d,
                                  const std::atomic<bool>* cancel,
                                  std::function<void()>* whileWaiting, TokenKeeper& tokens,
                                  std::vector<std::string>& secrets) {
    const AddressLine line = splitAddressLine(longUrl);
    const std::string paceKey = interfaceName(d) + "\n" + d.address;
    ServiceReply reply;
    // A 401 to an obtained token may only mean that it went stale: one new token, one more try.
    for (bool renewed = false;; renewed = true) {
        std::optional<TokenKeeper::Held> held;
        if (hasTokenRequest(d)) {
            held = tokens.token(d, cancel);
            if (!held->failure.ok()) return held->failure;
            secrets.push_back(held->token);
        }
        FilledRequest filled =
            fillInterfaceRequest(d, line.longUrl, line.alias, held ? &held->token : nullptr);
        if (!filled.failure.ok()) return filled.failure;
        filled.request.cancel = cancel;
        filled.request.whileWaiting = whileWaiting;
        RequestPacer::shared().waitTurn(paceKey, d.pauseMs, cancel);
        reply = sendServiceRequest(filled.request, filled.viaRequestObject);
        RequestPacer::shared().finished(paceKey);
        if (!held || renewed || reply.error != TransferError::None || reply.status != 401 ||
            statusAccepted(401, d.successStatuses))
            break;
        tokens.expire(d, held->serial);
    }
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
                                       std::function<void()>* whileWaiting, TokenKeeper* tokens) {
    TokenKeeper ownTokens;
    std::vector<std::string> secrets = interfaceSecrets(d);
    ConversionOutcome outcome = convertUnmasked(longUrl, d, cancel, whileWaiting,
                                                tokens != nullptr ? *tokens : ownTokens, secrets);
    return masked(std::move(outcome), secrets);
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
      tokens_(std::make_shared<TokenKeeper>()),
      weiboRequest_(std::make_unique<HttpRequestObject>()) {}

ShortUrlConverter::~ShortUrlConverter() = default;

std::string ShortUrlConverter::convertUrl(std::string_view longUrl, Mode mode) {
    if (mode == kSnapshotAndLabel) {
        snapshotPanel();
        // Each run tries the history again, whatever failed in the last one.
        historySuspended_ = false;
        return serviceLabel(source_.selectedService());
    }
    const ConversionOutcome outcome = convert(longUrl, mode);
    return outcome.ok() ? outcome.shortUrl : conversionErrorText();
}

void ShortUrlConverter::snapshotPanel() {
    snapshot_ = std::make_shared<const ShortUrlInterface>(source_.readInterfaceFromPanel());
    renewTokens();
    fallbacks_.reset();
    if (source_.selectedService() == kCustomService && !snapshot_->fallbacks.empty())
        fallbacks_ = std::make_shared<const FallbackChain>(resolveFallbacks(
            *snapshot_, [this](std::string_view name) { return source_.savedInterface(name); }));
}

ConversionOutcome ShortUrlConverter::convert(std::string_view longUrl, Mode mode) {
    // The interface test always asks the service: it tests the service, not the history,
    // and this interface, not its fallbacks.
    if (mode != kConvert) {
        if (source_.selectedService() == kCustomService) {
            snapshot_ = std::make_shared<const ShortUrlInterface>(source_.readInterfaceFromPanel());
            fallbacks_.reset();
        }
        renewTokens();
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

ShortUrlConverter::Task ShortUrlConverter::prepare(
    std::string_view longUrl, const std::shared_ptr<const RunPlan>& plan) const {
    const int service = source_.selectedService();
    Task task{std::string(longUrl),
              service,
              service == kBaiduService ? source_.baiduToken() : std::string(),
              snapshot_,
              service == kCustomService ? fallbacks_ : nullptr,
              retryPolicy_};
    if (service == kBaiduService) task.tokenFailure = source_.baiduTokenFailure();
    task.tokens = tokens_;
    if (plan && plan->rules.kind != RunKind::Shorten) {
        task.plan = plan;
        if (const std::string* known = plan->known.longOf(longUrl); known && usesHistory())
            task.knownLong = *known;
    }
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

void ShortUrlConverter::renewTokens() {
    tokens_ =
        std::make_shared<TokenKeeper>(TokenRetry{retryPolicy_.retries, retryPolicy_.firstDelayMs});
}

std::shared_ptr<const RunPlan> ShortUrlConverter::planRun(ShortAddressRules rules) {
    auto plan = std::make_shared<RunPlan>();
    plan->known = standardShortAddresses(hosts_);
    for (const std::string& host : rules.hosts) plan->known.addHost(host);
    for (const std::string& host : rules.migrateFrom) {
        plan->known.addHost(host);
        plan->retired.addHost(host);
    }
    plan->rules = std::move(rules);
    // A run that shortens every address has no use for what the history keeps.
    const bool needsKept = plan->rules.kind != RunKind::Shorten || !plan->rules.shortenShort;
    if (needsKept && history_ != nullptr && !historySuspended_)
        if (const Status read = addKeptAddresses(plan->known, *history_); !read.ok())
            suspendHistory(read.reason());
    return plan;
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
        fallbackKeys_.clear();
        if (service == kCustomService && fallbacks_)
            for (const FallbackEntry& entry : *fallbacks_)
                fallbackKeys_.emplace_back(
                    entry.definition ? historyServiceKey(service, hosts_, **entry.definition, tag)
                                     : std::string(),
                    entry.definition ? formerHistoryServiceKey(service, **entry.definition)
                                     : std::string());
        // A key without its tag is made again next time.
        keyService_ = keyFailure_.ok() ? service : -1;
        keySnapshot_ = snapshot_;
        keyHistory_ = history_;
    }
    return key_;
}

bool ShortUrlConverter::usesHistory() const {
    return history_ != nullptr && !historySuspended_ && reuse_ && !refresh_;
}

std::optional<ConversionOutcome> ShortUrlConverter::recall(std::string_view longUrl,
                                                           const RunPlan* plan) {
    if (plan != nullptr && plan->leaves(longUrl)) {
        ConversionOutcome outcome = ConversionOutcome::success(std::string(longUrl));
        outcome.skipped = "已是短网址";
        return outcome;
    }
    if (plan != nullptr && plan->rules.kind != RunKind::Shorten) {
        const std::string* known = usesHistory() ? plan->known.longOf(longUrl) : nullptr;
        if (known == nullptr || !isWebAddress(*known)) return std::nullopt;
        ConversionOutcome outcome;
        if (plan->rules.kind == RunKind::Expand) {
            outcome = ConversionOutcome::success(*known);
        } else {
            std::optional<ConversionOutcome> kept = recall(*known);
            if (!kept) return std::nullopt;  // the long address is converted with the service
            outcome = std::move(*kept);
        }
        outcome.fromHistory = true;
        outcome.expandedUrl = *known;
        return outcome;
    }
    if (!usesHistory()) return std::nullopt;
    const std::string& key = historyKey();
    if (!keyFailure_.ok()) {
        suspendHistory(keyFailure_.reason());
        return std::nullopt;
    }
    // Whichever interface of the chain made it before, nobody needs asking again.
    const bool chained = source_.selectedService() == kCustomService && fallbacks_;
    for (std::size_t at = 0; !chained ? at == 0 : at <= fallbacks_->size(); ++at) {
        const auto& [tried, former] =
            at == 0 ? std::pair<const std::string&, const std::string&>{key, formerKey_}
                    : std::pair<const std::string&, const std::string&>{
                          fallbackKeys_[at - 1].first, fallbackKeys_[at - 1].second};
        if (tried.empty()) continue;
        HistoryLookup hit = history_->lookupWithFormer(tried, former, longUrl);
        if (!hit.status.ok()) {
            suspendHistory(hit.status.reason());
            return std::nullopt;
        }
        // A row edited by hand into something that is no address is converted again, and replaced.
        if (!hit.shortUrl || !isWebAddress(*hit.shortUrl)) continue;
        ConversionOutcome outcome = ConversionOutcome::success(std::move(*hit.shortUrl));
        outcome.fromHistory = true;
        if (chained)
            outcome.service = at == 0 ? interfaceName(*snapshot_) : (*fallbacks_)[at - 1].name;
        return outcome;
    }
    return std::nullopt;
}

void ShortUrlConverter::remember(std::string_view longUrl, const ConversionOutcome& outcome,
                                 const RunPlan* plan) {
    if (history_ == nullptr || historySuspended_ || !outcome.skipped.empty()) return;
    if (plan != nullptr && plan->rules.kind != RunKind::Shorten) {
        // An expansion is kept even when the new service then failed: the pair holds.
        if (outcome.expandedNow) keep(expandedHistoryKey(longUrl), outcome.expandedUrl, longUrl);
        if (plan->rules.kind == RunKind::Expand || outcome.expandedUrl.empty()) return;
        longUrl = outcome.expandedUrl;
    }
    if (!outcome.ok() || outcome.fromHistory) return;
    const std::string* key = &historyKey();
    if (!keyFailure_.ok()) {
        suspendHistory(keyFailure_.reason());
        return;
    }
    if (!outcome.service.empty() && fallbacks_ && source_.selectedService() == kCustomService)
        for (std::size_t at = 0; at < fallbacks_->size(); ++at)
            if ((*fallbacks_)[at].name == outcome.service) key = &fallbackKeys_[at].first;
    keep(*key, longUrl, outcome.shortUrl);
}

void ShortUrlConverter::keep(std::string_view key, std::string_view longUrl,
                             std::string_view shortUrl) {
    if (historySuspended_) return;
    if (const Status status = history_->record(key, longUrl, shortUrl); !status.ok())
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
        task.known ? *task.known : convertWithFallbacks(task, stop, throttled);
    // An expanding run makes no short address, and a migrating one verified its new one
    // against the expanded address as it made it.
    if (!task.verify || task.plan || !outcome.ok()) return outcome;
    return verifiedOutcome(std::move(outcome), splitAddressLine(task.longUrl).longUrl,
                           {.stop = stop,
                            .retries = task.retry.retries,
                            .firstDelayMs = task.retry.firstDelayMs,
                            .whileWaiting = task.whileWaiting});
}

ConversionOutcome ShortUrlConverter::convertWithFallbacks(const Task& task,
                                                          const std::atomic<bool>* stop,
                                                          bool* throttled) const {
    ConversionOutcome first = retried(task, stop, throttled);
    if (task.service != kCustomService || !task.fallbacks || task.fallbacks->empty()) return first;
    if (first.ok()) {
        first.service = interfaceName(*task.definition);
        return first;
    }
    // Each fallback with its own keys and retries, while the last one failed on its service's
    // side; the reason keeps the first failure and adds what each fallback said.
    std::string said;
    bool passOn = passesToFallback(first);
    for (const FallbackEntry& entry : *task.fallbacks) {
        if (!passOn || (stop != nullptr && *stop)) break;
        if (!entry.definition) {
            said += "；备用接口“" + entry.name + "”：" + entry.definition.reason();
            continue;
        }
        Task next = task;
        next.definition = *entry.definition;
        ConversionOutcome outcome = retried(next, stop, throttled);
        if (outcome.ok()) {
            outcome.service = entry.name;
            return outcome;
        }
        if (outcome.failure == FailureKind::Stopped) return outcome;
        said += "；备用接口“" + entry.name + "”：" + outcome.reason();
        passOn = passesToFallback(outcome);
    }
    first.message += said;
    return first;
}

ConversionOutcome ShortUrlConverter::retried(const Task& task, const std::atomic<bool>* stop,
                                             bool* throttled) const {
    static const std::atomic<bool> kNeverStopped{false};
    const std::atomic<bool>& stopped = stop != nullptr ? *stop : kNeverStopped;
    if (task.plan) return expandAndConvert(task, stop, throttled);
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

ConversionOutcome ShortUrlConverter::expandAndConvert(const Task& task,
                                                      const std::atomic<bool>* stop,
                                                      bool* throttled) const {
    const LinkHopOptions hops{.stop = stop,
                              .retries = task.retry.retries,
                              .firstDelayMs = task.retry.firstDelayMs,
                              .whileWaiting = task.whileWaiting};
    ConversionOutcome expanded = task.knownLong.empty()
                                     ? expandByRedirects(task.longUrl, task.plan->known, hops)
                                     : ConversionOutcome::success(task.knownLong);
    if (!expanded.ok()) return stoppedOr(std::move(expanded), stop);
    const std::string longUrl = expanded.shortUrl;
    const bool now = task.knownLong.empty();
    if (task.plan->rules.kind == RunKind::Expand) {
        expanded.expandedUrl = longUrl;
        expanded.expandedNow = now;
        expanded.fromHistory = !now;
        return expanded;
    }
    Task converting = task;
    converting.plan = nullptr;
    converting.longUrl = longUrl;
    ConversionOutcome outcome = perform(converting, stop, throttled);
    outcome.expandedUrl = longUrl;
    outcome.expandedNow = now;
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
            return convertWithInterface(task.longUrl, *task.definition, stop, task.whileWaiting,
                                        task.tokens.get());
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

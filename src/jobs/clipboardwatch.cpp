#include "jobs/clipboardwatch.h"

#include <algorithm>
#include <utility>

#include "base/helpers.h"
#include "services/builtinhosts.h"
#include "services/conversionoutcome.h"

namespace lianshuo {
namespace {

// Domains of today's public short-link services: their addresses are the
// short ones a user copies to share, not long ones to convert.
constexpr const char* kShortDomains[] = {"bit.ly", "is.gd",  "v.gd",    "da.gd",
                                         "t.ly",   "dub.sh", "spoo.me", "cleanuri.com"};

}  // namespace

std::string trimmedCopy(std::string_view text) {
    constexpr std::string_view kFullWidthSpace = "\xA1\xA1";  // U+3000 in GBK
    const auto isSpace = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
    };
    for (bool trimmed = true; trimmed && !text.empty();) {
        trimmed = false;
        if (isSpace(text.front())) {
            text.remove_prefix(1);
            trimmed = true;
        } else if (text.starts_with(kFullWidthSpace)) {
            text.remove_prefix(2);
            trimmed = true;
        }
        if (text.empty()) break;
        if (isSpace(text.back())) {
            text.remove_suffix(1);
            trimmed = true;
        } else if (text.ends_with(kFullWidthSpace)) {
            text.remove_suffix(2);
            trimmed = true;
        }
    }
    return std::string(text);
}

ClipboardWatch::ClipboardWatch(std::vector<std::string> shortHosts) {
    for (const std::string& host : shortHosts)
        if (std::string bare = hostOfUrl(host); !bare.empty())
            shortHosts_.push_back(std::move(bare));
}

std::vector<std::string> ClipboardWatch::knownShortHosts(const BuiltinHosts& hosts) {
    // The defaults stay short when "内置服务" points a service elsewhere.
    const BuiltinHosts defaults = defaultBuiltinHosts();
    std::vector<std::string> known = {hosts.baidu,    hosts.weibo,    hosts.tinyurl,
                                      defaults.baidu, defaults.weibo, defaults.tinyurl};
    known.insert(known.end(), std::begin(kShortDomains), std::end(kShortDomains));
    return known;
}

bool ClipboardWatch::isShortHost(std::string_view address) const {
    const std::string host = hostOfUrl(address);
    return std::any_of(shortHosts_.begin(), shortHosts_.end(), [&host](const std::string& known) {
        return host == known || (host.size() > known.size() && host.ends_with(known) &&
                                 host[host.size() - known.size() - 1] == '.');
    });
}

ClipboardWatch::Verdict ClipboardWatch::judge(std::string_view text) const {
    const std::string address = trimmedCopy(text);
    if (!lastResult_.empty() && address == lastResult_) return Verdict::OwnResult;
    // A web address holds no space or line end, so a list of them is refused here too.
    if (!isWebAddress(address)) return Verdict::NotOneAddress;
    if (isShortHost(address)) return Verdict::AlreadyShort;
    return Verdict::Convert;
}

ClipboardWatch::Verdict ClipboardWatch::offer(std::string_view text) {
    const Verdict verdict = judge(text);
    if (verdict != Verdict::Convert) return verdict;
    std::string address = trimmedCopy(text);
    // The desktop may tell of one copy more than once.
    if (converting_ != address &&
        std::find(waiting_.begin(), waiting_.end(), address) == waiting_.end())
        waiting_.push_back(std::move(address));
    return verdict;
}

std::optional<std::string> ClipboardWatch::next() {
    if (converting_ || waiting_.empty()) return std::nullopt;
    converting_ = std::move(waiting_.front());
    waiting_.pop_front();
    return converting_;
}

void ClipboardWatch::finished(const std::optional<std::string>& shortUrl) {
    converting_.reset();
    if (shortUrl) lastResult_ = *shortUrl;
}

std::string ClipboardWatch::refusal(Verdict verdict) {
    switch (verdict) {
        case Verdict::Convert:
            return {};
        case Verdict::NotOneAddress:
            return "剪贴板中不是一个网址";
        case Verdict::AlreadyShort:
            return "剪贴板中已是短网址";
        case Verdict::OwnResult:
            return "剪贴板中是刚生成的短网址";
    }
    return {};
}

}  // namespace lianshuo

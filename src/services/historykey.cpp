#include "services/historykey.h"

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "services/conversionsource.h"
#include "services/interfacerules.h"
#include "services/interfacestore.h"

namespace lianshuo {
namespace {

// FNV-1a, 64 bits: stable across builds and machines, unlike std::hash.
class Fingerprint {
public:
    // Each field goes in with its length, so that moving bytes from one field
    // to the next cannot give the same fingerprint.
    void add(std::string_view field) {
        addBytes(std::to_string(field.size()));
        addBytes(":");
        addBytes(field);
    }
    void add(bool flag) { add(std::string_view(flag ? "1" : "0")); }

    std::string hex() const {
        char text[17];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value_));
        return text;
    }

private:
    void addBytes(std::string_view bytes) {
        for (const char c : bytes) {
            value_ ^= static_cast<unsigned char>(c);
            value_ *= 0x100000001b3ULL;
        }
    }

    std::uint64_t value_ = 0xcbf29ce484222325ULL;
};

// FNV-1a unwinds byte by byte: the token never goes in as it is, only its tag.
Fingerprint requestFingerprint(const ShortUrlInterface& d) {
    Fingerprint fingerprint;
    fingerprint.add(d.address);
    fingerprint.add(d.postMode);
    // A GET never sends the template, so editing it changes nothing the service sees.
    fingerprint.add(d.postMode ? std::string_view(d.postTemplate) : std::string_view());
    fingerprint.add(d.utf8Encoding);
    // The later keys that shape the request go in only when set, so that an
    // interface without them keeps the key its history is filed under.
    const ShortUrlInterface unset;
    if (d.method != unset.method) fingerprint.add("method=" + requestMethod(d));
    if (d.headers != unset.headers) fingerprint.add("headers=" + d.headers);
    if (d.bodyFormat != unset.bodyFormat)
        fingerprint.add("format=" + std::to_string(static_cast<int>(d.bodyFormat)));
    // Where the token comes from names the account, as the token itself does.
    if (d.tokenUrl != unset.tokenUrl) fingerprint.add("token-url=" + d.tokenUrl);
    return fingerprint;
}

std::string customName(const ShortUrlInterface& d) {
    return d.name.empty() ? interfaceName(d) : d.name;
}

}  // namespace

std::string interfaceFingerprint(const ShortUrlInterface& d, const SecretTagger& tag) {
    std::string key = requestFingerprint(d).hex();
    if (!d.token.empty()) key += "-" + tag(d.token);
    // The user names the account; a new password leaves it the same.
    if (!d.username.empty()) key += "-u" + tag(d.username);
    return key;
}

std::string formerHistoryServiceKey(int service, const ShortUrlInterface& custom) {
    if (service != kCustomService || custom.token.empty()) return {};
    Fingerprint fingerprint = requestFingerprint(custom);
    fingerprint.add("token=" + custom.token);
    return "custom:" + customName(custom) + ":" + fingerprint.hex();
}

std::string historyServiceKey(int service, const BuiltinHosts& hosts,
                              const ShortUrlInterface& custom, const SecretTagger& tag) {
    switch (service) {
        case kBaiduService:
            return "baidu:" + hosts.baidu;
        case kWeiboService:
            // The relay makes the links; the host shown to the user only names them.
            return "weibo:" + hosts.relay;
        case kTinyUrlService:
            return "tinyurl:" + hosts.tinyurl;
        default:
            return "custom:" + customName(custom) + ":" + interfaceFingerprint(custom, tag);
    }
}

}  // namespace lianshuo

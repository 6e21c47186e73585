#include "services/shortaddresses.h"

#include "base/gbk.h"
#include "base/helpers.h"
#include "history/conversionmemory.h"

namespace lianshuo {
namespace {

// Where the presets' services hand out their short addresses: not the hosts
// their interfaces ask, which are often an API host of their own.
constexpr std::string_view kPresetShortDomains[] = {
    "bit.ly", "tinyurl.com", "is.gd",   "v.gd",         "da.gd",
    "t.ly",   "dub.sh",      "spoo.me", "cleanuri.com", "kutt.it",
};

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The address with its scheme and host in lower case, the rest as written;
// empty for anything that is no http(s) address.
std::string addressKey(std::string_view url) {
    const std::size_t slashes = url.find("://");
    if (slashes == std::string_view::npos || slashes > 5) return {};
    const std::size_t end = authorityEnd(url, slashes + 3);
    std::string key(url);
    for (std::size_t i = 0; i < end; ++i) key[i] = lower(key[i]);
    // "https://s.example" and "https://s.example/" are one address.
    if (end == url.size()) key += '/';
    return key;
}

}  // namespace

bool splitAuthority(std::string_view url, std::string& host, std::string& port) {
    const std::size_t slashes = url.find("://");
    if (slashes == std::string_view::npos || slashes > 5) return false;
    if (!(slashes == 4 && startsWithNoCase(url, "http")) &&
        !(slashes == 5 && startsWithNoCase(url, "https")))
        return false;
    const std::size_t start = slashes + 3;
    const std::size_t end = authorityEnd(url, start);
    std::string_view authority = url.substr(start, end - start);
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    std::size_t colon = authority.rfind(':');
    // A bracketed IPv6 literal holds colons of its own.
    if (colon != std::string_view::npos && authority.find(']', colon) != std::string_view::npos)
        colon = std::string_view::npos;
    const std::string_view name = authority.substr(0, colon);
    host.assign(name.size(), '\0');
    for (std::size_t i = 0; i < name.size(); ++i) host[i] = lower(name[i]);
    // "t.cn." names the same host as "t.cn".
    if (!host.empty() && host.back() == '.') host.pop_back();
    port =
        colon == std::string_view::npos ? std::string() : std::string(authority.substr(colon + 1));
    return !host.empty();
}

void ShortAddressBook::addHost(std::string_view host) {
    std::string text = toLowerAscii(trimSpaces(host));
    if (text.empty()) return;
    const std::size_t colon = text.rfind(':');
    if (colon != std::string::npos && text.find(']', colon) == std::string::npos)
        hostPorts_.insert(std::move(text));
    else
        hosts_.insert(std::move(text));
}

void ShortAddressBook::addAddress(std::string_view shortUrl, std::string_view longUrl) {
    if (std::string key = addressKey(shortUrl); !key.empty())
        addresses_.insert_or_assign(std::move(key), std::string(longUrl));
}

bool ShortAddressBook::onHost(std::string_view url) const {
    if (hosts_.empty() && hostPorts_.empty()) return false;
    std::string host, port;
    if (!splitAuthority(url, host, port)) return false;
    if (hosts_.contains(host)) return true;
    return !port.empty() && !hostPorts_.empty() && hostPorts_.contains(host + ":" + port);
}

const std::string* ShortAddressBook::longOf(std::string_view shortUrl) const {
    if (addresses_.empty()) return nullptr;
    const auto found = addresses_.find(addressKey(shortUrl));
    return found == addresses_.end() ? nullptr : &found->second;
}

ShortAddressBook standardShortAddresses(const BuiltinHosts& hosts) {
    ShortAddressBook book;
    for (const std::string* host : {&hosts.baidu, &hosts.weibo, &hosts.tinyurl}) {
        // A host set by hand may be written as an address.
        std::string name, port;
        if (splitAuthority(*host, name, port))
            book.addHost(port.empty() ? name : name + ":" + port);
        else
            book.addHost(*host);
    }
    for (const std::string_view domain : kPresetShortDomains) book.addHost(domain);
    return book;
}

Result<std::vector<std::string>> parseHostList(std::string_view text) {
    std::vector<std::string> hosts;
    for (const std::string& part : splitText(text, ",")) {
        const std::string host = toLowerAscii(trimSpaces(part));
        const std::size_t colon = host.rfind(':');
        const std::string name = host.substr(0, colon);
        const std::string port = colon == std::string::npos ? "" : host.substr(colon + 1);
        bool fits = !name.empty() && (colon == std::string::npos || !port.empty());
        for (const char c : name)
            fits = fits && ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                            c == '-' || c == '_');
        for (const char c : port) fits = fits && c >= '0' && c <= '9';
        if (!fits) return Failure{0, "“" + trimSpaces(part) + "”不是主机（主机 或 主机:端口）"};
        hosts.push_back(host);
    }
    return hosts;
}

Status addKeptAddresses(ShortAddressBook& book, ConversionMemory& memory) {
    return memory.forEachKept([&book](std::string_view longUrl, std::string_view shortUrl) {
        book.addAddress(shortUrl, longUrl);
        return true;
    });
}

std::string expandedHistoryKey(std::string_view shortUrl) {
    std::string host, port;
    splitAuthority(shortUrl, host, port);
    return "host:" + (port.empty() ? host : host + ":" + port);
}

}  // namespace lianshuo

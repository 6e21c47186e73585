#include "jobs/pastedaddresses.h"

#include "base/charset.h"
#include "base/gbk.h"
#include "services/interfacerequest.h"

namespace lianshuo {
namespace {

// White space inside an address part: ASCII white space or the full-width space (GBK A1 A1).
bool holdsWhiteSpace(std::string_view text) {
    for (const char c : text)
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f') return true;
    return containsText(text, "　");
}

// The part of a line before its alias.
std::string_view addressPart(std::string_view line) {
    return line.substr(0, line.find('\t'));
}

std::string fromLineBytes(std::string_view bytes) {
    return isValidUtf8(bytes) ? fromUtf8(bytes) : std::string(bytes);
}

}  // namespace

std::vector<std::string> pastedAddresses(std::string_view text) {
    std::vector<std::string> addresses;
    for (std::string line : splitText(text, "\n")) {
        if (std::optional<std::string> address = pastedAddress(std::move(line)))
            addresses.push_back(std::move(*address));
    }
    return addresses;
}

std::optional<std::string> pastedAddress(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    line = trimSpaces(line, true);
    if (line.empty()) return std::nullopt;
    if (!containsText(line, "://")) line.insert(0, "http://");
    return line;
}

bool looksLikeWebAddress(std::string_view line) {
    const std::string address = splitAddressLine(line).longUrl;
    if (holdsWhiteSpace(address)) return false;
    const std::size_t scheme = address.find("://");
    if (scheme == std::string::npos || scheme == 0) return false;
    std::string_view authority = std::string_view(address).substr(scheme + 3);
    authority = authority.substr(0, authority.find_first_of("/?#\\"));
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    if (authority.starts_with('[')) {
        const std::size_t close = authority.find(']');
        return close != std::string_view::npos && close > 1;
    }
    const std::string_view host = authority.substr(0, authority.find(':'));
    if (toLowerAscii(host) == "localhost") return true;
    const std::size_t dot = host.find('.');
    return dot != std::string_view::npos && dot > 0 && host.back() != '.';
}

std::vector<PastedLine> pastedLines(std::string_view text) {
    std::vector<PastedLine> lines;
    for (std::string& address : pastedAddresses(text)) {
        const bool web = looksLikeWebAddress(address);
        lines.push_back({std::move(address), web});
    }
    return lines;
}

std::vector<PastedLine> listedLines(std::string_view bytes) {
    std::vector<PastedLine> lines;
    for (const std::string& line : splitText(bytes, "\n")) {
        if (std::optional<std::string> address = pastedAddress(fromLineBytes(line))) {
            const bool web = looksLikeWebAddress(*address);
            lines.push_back({std::move(*address), web});
        }
    }
    return lines;
}

bool readsAsAddressList(std::string_view bytes) {
    for (std::string line : splitText(bytes, "\n")) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string text = trimSpaces(fromLineBytes(line), true);
        if (holdsWhiteSpace(addressPart(text))) return false;
    }
    return true;
}

}  // namespace lianshuo

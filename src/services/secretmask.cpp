#include "services/secretmask.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <utility>

#include "base/charset.h"
#include "services/encoding.h"

namespace lianshuo {
namespace {

constexpr std::string_view kEllipsis = "…";
// A cut-off secret shorter than this tells nothing worth hiding.
constexpr std::size_t kShortestPart = 4;

// The same escapes with lower-case hex digits, as some services write them back.
std::string lowerHex(std::string text) {
    for (std::size_t i = 0; i + 2 < text.size(); ++i) {
        if (text[i] != '%') continue;
        for (std::size_t j = i + 1; j <= i + 2; ++j)
            if (text[j] >= 'A' && text[j] <= 'F') text[j] = static_cast<char>(text[j] - 'A' + 'a');
    }
    return text;
}

std::string jsonContents(std::string_view gbk) {
    const std::string quoted =
        nlohmann::json(toUtf8(gbk)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return fromUtf8(std::string_view(quoted).substr(1, quoted.size() - 2));
}

}  // namespace

SecretMask::SecretMask(const std::vector<std::string>& secrets) {
    for (const std::string& secret : secrets) {
        if (secret.empty()) continue;
        for (const bool utf8 : {true, false}) {
            for (std::string encoded :
                 {percentEncodeLongUrl(secret, utf8), percentEncodeComponent(secret, utf8)}) {
                forms_.push_back(lowerHex(encoded));
                forms_.push_back(std::move(encoded));
            }
        }
        forms_.push_back(secret);
        forms_.push_back(toUtf8(secret));
        forms_.push_back(jsonContents(secret));
        forms_.push_back(escapeJsonString(secret));
    }
    std::erase_if(forms_, [](const std::string& form) { return form.empty(); });
    std::sort(forms_.begin(), forms_.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() > b.size() : a < b;
    });
    forms_.erase(std::unique(forms_.begin(), forms_.end()), forms_.end());
    for (const std::string& form : forms_) starts_[static_cast<unsigned char>(form[0])] = true;
}

std::string SecretMask::apply(std::string_view text) const {
    if (forms_.empty()) return std::string(text);
    std::string out;
    out.reserve(text.size());
    // Each byte position tries the longest form first, so a secret inside a longer form of
    // another is masked once, whole. Every position, not only character boundaries: a text may
    // be UTF-8 as well as GBK, and a secret missed would be printed.
    for (std::size_t at = 0; at < text.size();) {
        if (!starts_[static_cast<unsigned char>(text[at])]) {
            out += text[at++];
            continue;
        }
        const auto form = std::find_if(forms_.begin(), forms_.end(), [&](const std::string& f) {
            return text.compare(at, f.size(), f) == 0;
        });
        if (form == forms_.end()) {
            out += text[at++];
            continue;
        }
        out += kMaskedSecret;
        at += form->size();
    }
    if (!out.ends_with(kEllipsis)) return out;
    const std::string_view before = std::string_view(out).substr(0, out.size() - kEllipsis.size());
    for (const std::string& form : forms_) {
        for (std::size_t part = std::min(form.size() - 1, before.size()); part >= kShortestPart;
             --part) {
            if (before.ends_with(std::string_view(form).substr(0, part))) {
                return std::string(before.substr(0, before.size() - part)) +
                       std::string(kMaskedSecret) + std::string(kEllipsis);
            }
        }
    }
    return out;
}

std::vector<std::string> interfaceSecrets(const ShortUrlInterface& definition) {
    return {definition.token, definition.username, definition.password};
}

}  // namespace lianshuo

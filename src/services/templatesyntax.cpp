#include "services/templatesyntax.h"

#include <algorithm>
#include <array>

#include "base/digests.h"
#include "base/sha256.h"
#include "services/encoding.h"
#include "services/sxcusyntax.h"

namespace lianshuo {
namespace {

// In the order of Placeholder.
const std::array<std::string, kValuePlaceholders>& valueNames() {
    static const std::array<std::string, kValuePlaceholders> names{
        "#长网址#", "#长网址原文#", "#令牌#",   "#别名#", "#别名?#",
        "#时间戳#", "#时间戳毫秒#", "#用户名#", "#密码#"};
    return names;
}

constexpr std::array<std::string_view, 6> kFunctions = {"base64", "base64url", "md5",
                                                        "sha1",   "sha256",    "urlencode"};

bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    // Parts up to the end, or (inside an argument) up to the ")#" that closes it.
    Result<std::vector<TemplatePart>> parts(int depth) {
        std::vector<TemplatePart> out;
        std::string plain;
        auto flush = [&] {
            if (!plain.empty()) out.push_back({Placeholder::None, std::move(plain), {}});
            plain.clear();
        };
        while (at_ < text_.size()) {
            if (depth > 0 && text_.substr(at_, 2) == ")#") {
                at_ += 2;
                flush();
                closed_ = true;
                return out;
            }
            if (text_[at_] != '#') {
                plain += text_[at_++];
                continue;
            }
            if (const std::size_t value = valueAt(); value < kValuePlaceholders) {
                flush();
                out.push_back({static_cast<Placeholder>(value), {}, {}});
                at_ += valueNames()[value].size();
                continue;
            }
            std::size_t end = at_ + 1;
            while (end < text_.size() && isNameChar(text_[end])) ++end;
            const std::string_view name = text_.substr(at_ + 1, end - at_ - 1);
            const bool known =
                std::find(kFunctions.begin(), kFunctions.end(), name) != kFunctions.end();
            // "#word(" with no ")#" after it is text an older template may hold, not a call.
            if (name.empty() || end >= text_.size() || text_[end] != '(' ||
                (!known && text_.find(")#", end) == std::string_view::npos)) {
                plain += text_[at_++];
                continue;
            }
            if (!known) return Status::failed("未知的函数“" + std::string(name) + "”");
            if (depth + 1 > kDeepestCall)
                return Status::failed("函数调用嵌套超过 " + std::to_string(kDeepestCall) + " 层");
            flush();
            at_ = end + 1;
            Result<std::vector<TemplatePart>> argument = parts(depth + 1);
            if (!argument) return argument;
            if (!closed_)
                return Status::failed("函数调用“#" + std::string(name) + "(”没有以“)#”结束");
            closed_ = false;
            out.push_back({Placeholder::Call, std::string(name), std::move(*argument)});
        }
        flush();
        // Reaching the end inside an argument: the caller reports the open call.
        closed_ = false;
        return out;
    }

private:
    std::size_t valueAt() const {
        for (std::size_t i = 0; i < kValuePlaceholders; ++i)
            if (text_.substr(at_, valueNames()[i].size()) == valueNames()[i]) return i;
        return kValuePlaceholders;
    }

    std::string_view text_;
    std::size_t at_ = 0;
    bool closed_ = false;  // whether the last parts() ended at a ")#"
};

std::string base64Url(std::string_view bytes) {
    std::string out = sxcu::base64(bytes);
    for (char& c : out) c = c == '+' ? '-' : c == '/' ? '_' : c;
    while (!out.empty() && out.back() == '=') out.pop_back();
    return out;
}

std::string urlEncoded(std::string_view utf8) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (isNameChar(c) || c == '-' || c == '.' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

}  // namespace

Result<std::vector<TemplatePart>> parseTemplate(std::string_view gbkTemplate) {
    Parser parser(gbkTemplate);
    return parser.parts(0);
}

std::vector<TemplatePart> templateParts(std::string_view gbkTemplate) {
    Result<std::vector<TemplatePart>> parsed = parseTemplate(gbkTemplate);
    if (parsed) return std::move(*parsed);
    if (gbkTemplate.empty()) return {};
    return {{Placeholder::None, std::string(gbkTemplate), {}}};
}

std::string applyTemplateFunction(std::string_view name, std::string_view bytes, bool utf8) {
    if (name == "base64") return sxcu::base64(bytes);
    if (name == "base64url") return base64Url(bytes);
    if (name == "md5") return md5Hex(bytes);
    if (name == "sha1") return sha1Hex(bytes);
    if (name == "sha256") return hexDigits(sha256(bytes));
    if (name == "urlencode") return urlEncoded(utf8 ? std::string(bytes) : longUrlToUtf8(bytes));
    return {};
}

const std::string& optionalAliasPlaceholder() {
    return valueNames()[static_cast<std::size_t>(Placeholder::AliasOrNothing)];
}

}  // namespace lianshuo

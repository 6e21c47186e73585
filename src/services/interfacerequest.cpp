#include "services/interfacerequest.h"

#include <array>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>

#include "base/charset.h"
#include "base/gbk.h"
#include "http/charsets.h"
#include "services/encoding.h"
#include "services/interfacerules.h"
#include "services/secretmask.h"
#include "services/shorturlconverter.h"

namespace lianshuo {
namespace {

constexpr std::size_t kPlaceholderCount = 4;
using Texts = std::array<std::string, kPlaceholderCount>;

// In this order: the long address, the plain long address, the token, the alias.
const Texts& gbkPlaceholders() {
    static const Texts texts{"#长网址#", "#长网址原文#", "#令牌#", "#别名#"};
    return texts;
}

// The placeholder that starts at `at`, or kPlaceholderCount.
std::size_t placeholderAt(std::string_view text, std::size_t at, const Texts& names) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (text.substr(at, names[i].size()) == names[i]) return i;
    return kPlaceholderCount;
}

// The four values of a context, each made only when a template asks for it:
// encoding the long address processes window messages byte by byte.
class Values {
public:
    using Make = std::function<std::string(std::size_t)>;
    explicit Values(Make make) : make_(std::move(make)) {}
    const std::string& operator[](std::size_t which) {
        if (!made_[which]) made_[which] = make_(which);
        return *made_[which];
    }

private:
    Make make_;
    std::array<std::optional<std::string>, kPlaceholderCount> made_;
};

// `text` (GBK) with every placeholder replaced by its value, in one pass (a
// value holding a placeholder stays as it is), and its plain text in UTF-8
// when `utf8`. Nullopt past kLongestFilledTemplate, checked before each piece
// goes in: a template repeating the placeholder must not cost gigabytes
// before it is refused.
std::optional<std::string> expand(std::string_view text, bool utf8, Values& values) {
    std::string out;
    for (const TemplatePart& part : templateParts(text)) {
        const std::string piece = part.placeholder == Placeholder::None
                                      ? (utf8 ? toUtf8(part.text) : part.text)
                                      : values[static_cast<std::size_t>(part.placeholder)];
        if (out.size() + piece.size() > kLongestFilledTemplate) return std::nullopt;
        out += piece;
    }
    return out;
}

std::string jsonStringContents(std::string_view utf8) {
    const std::string quoted = nlohmann::json(std::string(utf8))
                                   .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return quoted.substr(1, quoted.size() - 2);
}

bool holdsControlCharacter(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

// The values of each context, and the charset of its template.
struct Filler {
    const ShortUrlInterface& d;
    std::string_view longUrl, alias;
    // The address and a form body: percent-encoded values in the GBK template.
    mutable Values encodedValues{[this](std::size_t which) {
        return which == 1 ? inCharset(longUrl)
                          : percentEncodeLongUrl(which == 0   ? longUrl
                                                 : which == 2 ? d.token
                                                              : alias,
                                                 d.utf8Encoding);
    }};
    // A JSON body: always UTF-8, values as JSON string contents.
    mutable Values jsonValues{[this](std::size_t which) {
        return which == 1 ? longUrlToUtf8(longUrl)
                          : jsonStringContents(longUrlToUtf8(which == 0   ? longUrl
                                                             : which == 2 ? d.token
                                                                          : alias));
    }};
    // Multipart fields, a raw body and headers: plain values in the interface's charset.
    mutable Values plainValues{[this](std::size_t which) {
        return inCharset(which <= 1 ? longUrl : which == 2 ? std::string_view(d.token) : alias);
    }};

    std::string inCharset(std::string_view gbk) const {
        return d.utf8Encoding ? longUrlToUtf8(gbk) : std::string(gbk);
    }
    std::optional<std::string> encoded(std::string_view text) const {
        return expand(text, false, encodedValues);
    }
    std::optional<std::string> json(std::string_view text) const {
        return expand(text, true, jsonValues);
    }
    std::optional<std::string> plain(std::string_view text) const {
        return expand(text, d.utf8Encoding, plainValues);
    }
};

ConversionOutcome tooLarge() {
    return ConversionOutcome::failed(FailureKind::TooLarge,
                                     "填入长网址后的地址或 POST 数据超过 1 MiB");
}

ConversionOutcome refused(std::string message) {
    return ConversionOutcome::failed(FailureKind::Request, std::move(message));
}

std::string randomBoundary() {
    thread_local std::mt19937_64 engine{std::random_device{}()};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string boundary = "----LianshuoFormBoundary";
    for (std::uint64_t bits = engine(), i = 0; i < 16; ++i, bits >>= 4) boundary += kHex[bits & 15];
    return boundary;
}

// The fields of a multipart template, one "name=value" line each, filled.
struct MultipartBody {
    std::string body, boundary;
    ConversionOutcome failure;
};

MultipartBody multipartBody(const Filler& filler, std::string_view postTemplate) {
    MultipartBody out;
    std::vector<std::pair<std::string, std::string>> fields;
    std::size_t size = 0;
    for (std::string line : splitText(postTemplate, "\n")) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (trimSpaces(line).empty()) continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos || equals == 0) {
            out.failure = refused("multipart 字段“" + line + "”不是“名称=值”的形式");
            return out;
        }
        std::optional<std::string> name = filler.plain(std::string_view(line).substr(0, equals));
        std::optional<std::string> value = filler.plain(std::string_view(line).substr(equals + 1));
        if (!name || !value || (size += name->size() + value->size()) > kLongestFilledTemplate) {
            out.failure = tooLarge();
            return out;
        }
        fields.emplace_back(replaceAll(*name, "\"", "%22"), std::move(*value));
    }
    // A boundary that occurs in a value would end that part early.
    do {
        out.boundary = randomBoundary();
    } while (std::any_of(fields.begin(), fields.end(), [&](const auto& field) {
        return field.second.find(out.boundary) != std::string::npos;
    }));
    for (const auto& [name, value] : fields) {
        out.body += "--" + out.boundary + "\r\nContent-Disposition: form-data; name=\"" + name +
                    "\"\r\n\r\n" + value + "\r\n";
    }
    out.body += "--" + out.boundary + "--\r\n";
    return out;
}

Status checkJson(const std::string& body) {
    try {
        const nlohmann::json parsed = nlohmann::json::parse(body);
        return {};
    } catch (const nlohmann::json::exception& error) {
        return Status::failed(fromUtf8(error.what()));
    }
}

FilledRequest failedWith(ConversionOutcome failure) {
    FilledRequest out;
    out.failure = std::move(failure);
    return out;
}

bool namesContentType(const std::vector<std::string>& lines) {
    return std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return toLowerAscii(trimSpaces(std::string_view(line).substr(0, line.find(':')))) ==
               "content-type";
    });
}

}  // namespace

bool interfaceUsesToken(const ShortUrlInterface& d) {
    const std::string_view token = gbkPlaceholders()[2];
    return containsText(d.address, token) || containsText(d.headers, token) ||
           (methodSendsBody(requestMethod(d)) && containsText(d.postTemplate, token));
}

std::vector<TemplatePart> templateParts(std::string_view text) {
    std::vector<TemplatePart> parts;
    std::string plain;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t which =
            text[at] == '#' ? placeholderAt(text, at, gbkPlaceholders()) : kPlaceholderCount;
        if (which == kPlaceholderCount) {
            plain += text[at++];
            continue;
        }
        if (!plain.empty()) parts.push_back({Placeholder::None, std::move(plain)});
        plain.clear();
        parts.push_back({static_cast<Placeholder>(which), {}});
        at += gbkPlaceholders()[which].size();
    }
    if (!plain.empty()) parts.push_back({Placeholder::None, std::move(plain)});
    return parts;
}

AddressLine splitAddressLine(std::string_view line) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return {std::string(line), {}};
    return {trimSpaces(line.substr(0, tab)), trimSpaces(line.substr(tab + 1))};
}

FilledRequest fillInterfaceRequest(const ShortUrlInterface& d, std::string_view longUrl,
                                   std::string_view alias) {
    FilledRequest out;
    ServiceRequest& request = out.request;
    const Filler filler{d, longUrl, alias};
    if (const Status usable = checkInterfaceKeys(d, "；"); !usable) {
        out.failure = refused(usable.reason());
        return out;
    }
    // A missing token would only bring the service's refusal, or a header with half a value.
    if (d.token.empty() && interfaceUsesToken(d))
        return failedWith(refused(
            d.secretsInKeyring ? "令牌在钥匙串中，没能取出：钥匙串不可用，或其中没有该接口的令牌"
                               : "令牌为空：接口用到了 #令牌#"));
    const std::optional<std::string> url = filler.encoded(d.address);
    if (!url) return failedWith(tooLarge());
    // A line break in the address would end the request line and start a header.
    if (holdsControlCharacter(*url)) return failedWith(refused("接口地址含有控制字符"));
    request.url = *url;

    const std::string method = requestMethod(d);
    request.post = methodSendsBody(method);
    if (method != "GET" && method != "POST") request.method = method;
    std::vector<std::string> headerLines;
    for (const std::string& line : headerLinesOf(d.headers)) {
        const std::optional<std::string> filled = filler.plain(line);
        if (!filled) return failedWith(tooLarge());
        const std::string name = trimSpaces(std::string_view(line).substr(0, line.find(':')));
        // A token or alias holding a line break would add headers of its own.
        if (holdsControlCharacter(*filled))
            return failedWith(refused("请求头“" + name + "”填入后含有控制字符"));
        if (trimSpaces(std::string_view(*filled).substr(filled->find(':') + 1)).empty())
            return failedWith(refused("请求头“" + name + "”填入后值为空"));
        headerLines.push_back(*filled);
    }
    if (request.post) {
        std::string contentType;
        std::optional<std::string> body;
        switch (d.bodyFormat) {
            case BodyFormat::Form:
                body = filler.encoded(d.postTemplate);
                break;
            case BodyFormat::Json:
                body = filler.json(d.postTemplate);
                if (body)
                    if (const Status json = checkJson(*body); !json)
                        return failedWith(
                            refused("POST 数据填入后不是有效的 JSON：" + json.reason()));
                contentType = "application/json; charset=utf-8";
                break;
            case BodyFormat::Multipart: {
                MultipartBody multipart = multipartBody(filler, d.postTemplate);
                if (!multipart.failure.ok()) return failedWith(std::move(multipart.failure));
                body = std::move(multipart.body);
                contentType = "multipart/form-data; boundary=" + multipart.boundary;
                break;
            }
            case BodyFormat::Raw:
                body = filler.plain(d.postTemplate);
                break;
        }
        if (!body) return failedWith(tooLarge());
        request.body = std::move(*body);
        // A Content-Type among the interface's headers wins; an empty one sends none at all.
        if (!namesContentType(headerLines)) {
            if (!contentType.empty())
                headerLines.push_back("Content-Type: " + contentType);
            else if (d.bodyFormat == BodyFormat::Raw)
                headerLines.push_back("Content-Type:");
        }
    }
    request.headers = joinText(headerLines, "\r\n");
    request.secrets = interfaceSecrets(d);
    request.charsetMode = d.utf8Encoding ? kUtf8 : kNoConversion;
    // A reply header is read from the reply itself, not from where a redirect leads.
    request.followRedirects = d.extractKind != ExtractKind::Header;
    // The template decides the engine, not the filled-in address.
    out.viaRequestObject = startsWithNoCase(d.address, "http://");
    return out;
}

}  // namespace lianshuo

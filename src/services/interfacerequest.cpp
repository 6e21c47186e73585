#include "services/interfacerequest.h"

#include <array>
#include <chrono>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <utility>

#include "base/charset.h"
#include "base/gbk.h"
#include "http/charsets.h"
#include "services/encoding.h"
#include "services/interfacerules.h"
#include "services/secretmask.h"
#include "services/shorturlconverter.h"
#include "services/tokenrequest.h"

namespace lianshuo {
namespace {

using Make = std::function<std::string(Placeholder)>;

// The values of a context, each made only when a template asks for it.
class Values {
public:
    explicit Values(Make make) : make_(std::move(make)) {}
    const std::string& operator[](Placeholder which) {
        auto& made = made_[static_cast<std::size_t>(which)];
        if (!made) made = make_(which);
        return *made;
    }

private:
    Make make_;
    std::array<std::optional<std::string>, kValuePlaceholders> made_;
};

// Where a template stands: how its values, its plain text and its calls' results are written.
struct Context {
    Values* values;
    bool utf8;  // the template's plain text in UTF-8 rather than GBK
    Values* argumentValues;
    bool argumentUtf8;
    std::string (*encodeResult)(const std::string& ascii);
};

std::string asItIs(const std::string& text) {
    return text;
}

// `parts` with every placeholder replaced by its value, in one pass (a value holding a
// placeholder stays as it is). Nullopt past kLongestFilledTemplate, checked before each piece
// goes in: a template repeating the placeholder must not cost gigabytes before it is refused.
std::optional<std::string> expandParts(const std::vector<TemplatePart>& parts,
                                       const Context& context) {
    std::string out;
    for (const TemplatePart& part : parts) {
        std::string piece;
        if (part.placeholder == Placeholder::None) {
            piece = context.utf8 ? toUtf8(part.text) : part.text;
        } else if (part.placeholder != Placeholder::Call) {
            piece = (*context.values)[part.placeholder];
        } else {
            // The argument takes plain values; a call inside it gives its result unencoded.
            const Context inner{context.argumentValues, context.argumentUtf8,
                                context.argumentValues, context.argumentUtf8, &asItIs};
            const std::optional<std::string> argument = expandParts(part.argument, inner);
            if (!argument) return std::nullopt;
            piece = context.encodeResult(
                applyTemplateFunction(part.text, *argument, context.argumentUtf8));
        }
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

std::string jsonStringContentsOf(const std::string& ascii) {
    return jsonStringContents(ascii);
}

std::string percentEncoded(const std::string& ascii) {
    return percentEncodeLongUrl(ascii, false);
}

bool holdsControlCharacter(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

// What a JSON body holds where "#别名?#" stood for no alias, until its member is taken out.
const std::string& omittedAlias() {
    static const std::string text = "\x1F#lianshuo-no-alias#\x1F";
    return text;
}

// `query` ("a=1&b=#别名?#") without the pairs whose whole value is "#别名?#".
std::string withoutOptionalAliasPairs(std::string_view query) {
    std::vector<std::string> kept;
    for (std::string& pair : splitText(query, "&")) {
        const std::size_t equals = pair.find('=');
        if (equals == std::string::npos ||
            std::string_view(pair).substr(equals + 1) != optionalAliasPlaceholder())
            kept.push_back(std::move(pair));
    }
    return joinText(kept, "&");
}

// The members of `json` whose value is omittedAlias(), taken out at any depth.
void dropOmittedAliases(nlohmann::ordered_json& json) {
    if (json.is_array()) {
        for (auto& item : json) dropOmittedAliases(item);
        return;
    }
    if (!json.is_object()) return;
    for (auto it = json.begin(); it != json.end();) {
        if (it->is_string() && it->get_ref<const std::string&>() == omittedAlias()) {
            it = json.erase(it);
        } else {
            dropOmittedAliases(*it);
            ++it;
        }
    }
}

// The values of each context, and the charset of its template.
struct Filler {
    const ShortUrlInterface& d;
    std::string_view longUrl, alias, token;
    std::string seconds, milliseconds;  // one moment for the whole request

    Filler(const ShortUrlInterface& definition, std::string_view url, std::string_view aliasText,
           std::string_view tokenText)
        : d(definition), longUrl(url), alias(aliasText), token(tokenText) {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
        seconds = std::to_string(ms / 1000);
        milliseconds = std::to_string(ms);
    }

    std::string_view source(Placeholder which) const {
        switch (which) {
            case Placeholder::LongUrl:
            case Placeholder::PlainLongUrl:
                return longUrl;
            case Placeholder::Token:
                return token;
            case Placeholder::Username:
                return d.username;
            case Placeholder::Password:
                return d.password;
            case Placeholder::Timestamp:
                return seconds;
            case Placeholder::TimestampMs:
                return milliseconds;
            default:
                return alias;
        }
    }
    static bool isTime(Placeholder which) {
        return which == Placeholder::Timestamp || which == Placeholder::TimestampMs;
    }

    // The address and a form body: percent-encoded values in the GBK template.
    mutable Values encodedValues{[this](Placeholder which) {
        if (which == Placeholder::PlainLongUrl || isTime(which)) return inCharset(source(which));
        return percentEncodeLongUrl(source(which), d.utf8Encoding);
    }};
    // A JSON body: always UTF-8, values as JSON string contents.
    mutable Values jsonValues{[this](Placeholder which) {
        if (which == Placeholder::PlainLongUrl || isTime(which))
            return longUrlToUtf8(source(which));
        if (which == Placeholder::AliasOrNothing && alias.empty())
            return jsonStringContents(omittedAlias());
        return jsonStringContents(longUrlToUtf8(source(which)));
    }};
    // A JSON body's call arguments: plain values in UTF-8.
    mutable Values utf8Values{[this](Placeholder which) { return longUrlToUtf8(source(which)); }};
    // Multipart fields, a raw body, headers and every other call argument: plain values in
    // the interface's charset.
    mutable Values plainValues{[this](Placeholder which) { return inCharset(source(which)); }};

    std::string inCharset(std::string_view gbk) const {
        return d.utf8Encoding ? longUrlToUtf8(gbk) : std::string(gbk);
    }
    std::optional<std::string> encoded(std::string_view text) const {
        return expandParts(templateParts(text),
                           {&encodedValues, false, &plainValues, d.utf8Encoding, &percentEncoded});
    }
    std::optional<std::string> json(std::string_view text) const {
        return expandParts(templateParts(text),
                           {&jsonValues, true, &utf8Values, true, &jsonStringContentsOf});
    }
    std::optional<std::string> plain(std::string_view text) const {
        return expandParts(templateParts(text),
                           {&plainValues, d.utf8Encoding, &plainValues, d.utf8Encoding, &asItIs});
    }
    // The address with "#别名?#" pairs of its query left out when there is no alias.
    std::optional<std::string> address() const {
        const std::size_t query = d.address.find('?');
        if (!alias.empty() || query == std::string::npos) return encoded(d.address);
        return encoded(d.address.substr(0, query + 1) +
                       withoutOptionalAliasPairs(std::string_view(d.address).substr(query + 1)));
    }
    std::optional<std::string> form() const {
        return encoded(alias.empty() ? withoutOptionalAliasPairs(d.postTemplate) : d.postTemplate);
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

// Takes the members that stood for no alias out of a JSON body that has any; other bodies
// are sent byte for byte as filled.
void omitAliasMembers(std::string& body) {
    if (body.find(jsonStringContents(omittedAlias())) == std::string::npos) return;
    nlohmann::ordered_json json = nlohmann::ordered_json::parse(body, nullptr, false);
    if (json.is_discarded()) return;
    dropOmittedAliases(json);
    body = replaceAll(json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                      jsonStringContents(omittedAlias()), "");
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

// A definition's keys are checked before each request, for a definition may come from
// anywhere; a run asks with one definition thousands of times, and the check (templates
// parsed, expressions compiled) costs more than filling the request. Each thread keeps the
// verdict on the last definition it checked.
Status checkedKeys(const ShortUrlInterface& d) {
    thread_local std::optional<std::pair<ShortUrlInterface, Status>> last;
    if (!last || !(last->first == d)) last.emplace(d, checkInterfaceKeys(d, "；"));
    return last->second;
}

}  // namespace

bool interfaceUses(const ShortUrlInterface& d, std::string_view placeholder) {
    return containsText(d.address, placeholder) || containsText(d.headers, placeholder) ||
           (methodSendsBody(requestMethod(d)) && containsText(d.postTemplate, placeholder));
}

bool interfaceUsesToken(const ShortUrlInterface& d) {
    // With a token request the key goes into that request; the conversions get what it obtains.
    if (hasTokenRequest(d)) return interfaceUses(tokenRequestInterface(d), "#令牌#");
    return interfaceUses(d, "#令牌#");
}

AddressLine splitAddressLine(std::string_view line) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return {std::string(line), {}};
    return {trimSpaces(line.substr(0, tab)), trimSpaces(line.substr(tab + 1))};
}

FilledRequest fillInterfaceRequest(const ShortUrlInterface& d, std::string_view longUrl,
                                   std::string_view alias, const std::string* token) {
    FilledRequest out;
    ServiceRequest& request = out.request;
    const Filler filler{d, longUrl, alias, token != nullptr ? *token : d.token};
    if (const Status usable = checkedKeys(d); !usable) {
        out.failure = refused(usable.reason());
        return out;
    }
    // A missing secret would only bring the service's refusal, or a header with half a value.
    for (const auto& [name, value] :
         {std::pair<std::string, std::string_view>{"令牌", filler.token},
          {"用户名", d.username},
          {"密码", d.password}}) {
        if (!value.empty() || !interfaceUses(d, "#" + name + "#")) continue;
        return failedWith(
            refused(d.secretsInKeyring
                        ? name + "在钥匙串中，没能取出：钥匙串不可用，或其中没有该接口的" + name
                        : name + "为空：接口用到了 #" + name + "#"));
    }
    const std::optional<std::string> url = filler.address();
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
                body = filler.form();
                break;
            case BodyFormat::Json:
                body = filler.json(d.postTemplate);
                if (body)
                    if (const Status json = checkJson(*body); !json)
                        return failedWith(
                            refused("POST 数据填入后不是有效的 JSON：" + json.reason()));
                if (body && alias.empty()) omitAliasMembers(*body);
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
    if (token != nullptr) request.secrets.push_back(*token);
    request.charsetMode = d.utf8Encoding ? kUtf8 : kNoConversion;
    // A reply header is read from the reply itself, not from where a redirect leads.
    request.followRedirects = d.extractKind != ExtractKind::Header;
    // The template decides the engine, not the filled-in address.
    out.viaRequestObject = startsWithNoCase(d.address, "http://");
    return out;
}

}  // namespace lianshuo

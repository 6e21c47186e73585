// Writing an interface as a .sxcu file.

#include <nlohmann/json.hpp>

#include "base/charset.h"
#include "base/gbk.h"
#include "script/regexgroup.h"
#include "services/interfacerequest.h"
#include "services/interfacerules.h"
#include "services/interfacestore.h"
#include "services/resulttemplate.h"
#include "services/sxcufile.h"
#include "services/sxcusyntax.h"

namespace lianshuo {
namespace {

using Json = nlohmann::ordered_json;

std::string percentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto hex = [](char c) {
            return c >= '0' && c <= '9'   ? c - '0'
                   : c >= 'a' && c <= 'f' ? c - 'a' + 10
                   : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                          : -1;
        };
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 &&
            hex(text[i + 2]) >= 0) {
            out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i] == '+' ? ' ' : text[i];
        }
    }
    return out;
}

class Exporter {
public:
    Exporter(const ShortUrlInterface& d, bool withToken) : d_(d), withToken_(withToken) {}
    Result<std::string> run();

private:
    // A template as a value of the format; a form's plain text is decoded first.
    std::string value(std::string_view gbkTemplate, bool formEncoded = false);
    Json fields(bool form);
    std::string readSyntax(ExtractKind kind, const std::string& expression);
    // The result template as several "{json:…}" in one URL; regex groups have no counterpart.
    std::string templateSyntax();
    void missing(std::string what) {
        if (std::find(missing_.begin(), missing_.end(), what) == missing_.end())
            missing_.push_back(std::move(what));
    }

    const ShortUrlInterface& d_;
    bool withToken_;
    Json regexes_ = Json::array();
    std::vector<std::string> missing_;
};

std::string Exporter::value(std::string_view gbkTemplate, bool formEncoded) {
    std::string out;
    for (const TemplatePart& part : templateParts(gbkTemplate)) {
        switch (part.placeholder) {
            case Placeholder::None:
                out += sxcu::escapePlain(formEncoded ? percentDecoded(toUtf8(part.text))
                                                     : toUtf8(part.text));
                break;
            case Placeholder::LongUrl:
                out += "{input}";
                break;
            case Placeholder::Alias:
            case Placeholder::AliasOrNothing:
                out += "{prompt}";
                break;
            case Placeholder::Timestamp:
                missing("#时间戳#");
                break;
            case Placeholder::TimestampMs:
                missing("#时间戳毫秒#");
                break;
            case Placeholder::Call:
                missing("#" + part.text + "(…)#");
                break;
            case Placeholder::Token:
                out += withToken_ ? sxcu::escapePlain(toUtf8(d_.token)) : toUtf8("#令牌#");
                break;
            case Placeholder::PlainLongUrl:
                missing("#长网址原文#");
                break;
            case Placeholder::Username:
                missing("#用户名#");
                break;
            case Placeholder::Password:
                missing("#密码#");
                break;
        }
    }
    return out;
}

// A form's "name=value&…" or a multipart template's "name=value" lines as "Arguments".
Json Exporter::fields(bool form) {
    Json out = Json::object();
    std::vector<std::string> items;
    if (form) {
        items = splitText(d_.postTemplate, "&");
    } else {
        items = headerLinesOf(d_.postTemplate);  // the same lines: CR LF or LF, none empty
    }
    for (const std::string& item : items) {
        if (item.empty()) continue;
        const std::size_t equals = item.find('=');
        const std::string name = item.substr(0, equals);
        if (templateParts(name).size() != 1 ||
            templateParts(name)[0].placeholder != Placeholder::None)
            missing("字段名中的占位符");
        out[form ? percentDecoded(toUtf8(name)) : toUtf8(name)] =
            equals == std::string::npos ? "" : value(item.substr(equals + 1), form);
    }
    return out;
}

// The syntax that reads `expression` of `kind` from the reply.
std::string Exporter::templateSyntax() {
    const auto pieces = parseResultTemplate(d_.resultTemplate);
    if (!pieces || d_.extractKind != ExtractKind::Json) {
        missing("结果模板");
        return readSyntax(d_.extractKind, d_.extractExpression);
    }
    std::string url;
    for (const ResultPiece& piece : *pieces)
        url += piece.kind == ResultPiece::Literal ? sxcu::escapePlain(toUtf8(piece.text))
                                                  : readSyntax(ExtractKind::Json, piece.text);
    return url;
}

std::string Exporter::readSyntax(ExtractKind kind, const std::string& expression) {
    const std::string utf8 = toUtf8(expression);
    switch (kind) {
        case ExtractKind::Cut:
            return "{response}";
        case ExtractKind::Json:
            if (utf8.find_first_of("{}|$\\") != std::string::npos) missing("含括号的 JSON 路径");
            return "{json:" + utf8 + "}";
        case ExtractKind::Regex:
            regexes_.push_back(utf8);
            return "{regex:" + std::to_string(regexes_.size()) + "|" + chosenGroupName(expression) +
                   "}";
        case ExtractKind::Header:
            return "{header:" + utf8 + "}";
    }
    return {};
}

Result<std::string> Exporter::run() {
    if (Status usable = checkInterfaceKeys(d_, "；"); !usable) return usable;
    Json out;
    out["Version"] = "15.0.0";
    out["Name"] = toUtf8(interfaceName(d_));
    out["DestinationType"] = "URLShortener";
    const std::string method = requestMethod(d_);
    out["RequestMethod"] = method;
    out["RequestURL"] = value(d_.address);
    const std::vector<std::string> headerLines = headerLinesOf(d_.headers);
    bool typed = false;
    if (!headerLines.empty()) {
        Json headers = Json::object();
        for (const std::string& line : headerLines) {
            const std::size_t colon = line.find(':');
            const std::string name = trimSpaces(std::string_view(line).substr(0, colon));
            typed |= toLowerAscii(name) == "content-type";
            headers[toUtf8(name)] = value(trimSpaces(std::string_view(line).substr(colon + 1)));
        }
        out["Headers"] = std::move(headers);
    }
    if (!methodSendsBody(method)) {
        out["Body"] = "None";
    } else if (d_.bodyFormat == BodyFormat::Form || d_.bodyFormat == BodyFormat::Multipart) {
        const bool form = d_.bodyFormat == BodyFormat::Form;
        out["Body"] = form ? "FormURLEncoded" : "MultipartFormData";
        out["Arguments"] = fields(form);
    } else {
        // The format's XML body is the one raw text it has; it brings its own type.
        if (d_.bodyFormat == BodyFormat::Raw && !typed)
            missing("没有 Content-Type 请求头的原始正文");
        out["Body"] = d_.bodyFormat == BodyFormat::Json ? "JSON" : "XML";
        out["Data"] = value(d_.postTemplate);
    }

    if (d_.extractKind == ExtractKind::Cut && d_.cutEnabled &&
        (!d_.leftMarker.empty() || !d_.rightMarker.empty()))
        missing("截取（左边字符、右边字符）");
    if (d_.replaceEnabled && !d_.findList.empty()) missing("替换");
    if (!d_.utf8Encoding) missing("GBK 编码");
    if (!trimSpaces(d_.successStatuses).empty() && trimSpaces(d_.successStatuses) != "200-299")
        missing("成功状态码");
    if (d_.pauseMs > 0) missing("间隔毫秒");
    if (!d_.tokenUrl.empty()) missing("令牌地址");
    if (!d_.fallbacks.empty()) missing("备用接口");
    std::string url = d_.resultTemplate.empty() ? readSyntax(d_.extractKind, d_.extractExpression)
                                                : templateSyntax();
    if (d_.insertEnabled)
        url = sxcu::escapePlain(toUtf8(d_.prefix)) + url + sxcu::escapePlain(toUtf8(d_.suffix));
    std::string error;
    if (!d_.errorExpression.empty())
        error =
            readSyntax(d_.extractKind == ExtractKind::Json ? ExtractKind::Json : ExtractKind::Regex,
                       d_.errorExpression);
    if (!regexes_.empty()) out["RegexList"] = regexes_;
    out["URL"] = url;
    if (!error.empty()) out["ErrorMessage"] = error;

    if (!missing_.empty())
        return Failure{0, "以下设置在 .sxcu 文件中没有对应的写法：" + joinText(missing_, "、")};
    return out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace

Result<std::string> sxcuFromInterface(const ShortUrlInterface& definition, bool withToken) {
    return Exporter(definition, withToken).run();
}

}  // namespace lianshuo

// Reading a .sxcu file into an interface.

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>

#include "base/charset.h"
#include "base/gbk.h"
#include "base/helpers.h"
#include "script/regexgroup.h"
#include "services/encoding.h"
#include "services/interfacerules.h"
#include "services/jsonpath.h"
#include "services/sxcufile.h"
#include "services/sxcusyntax.h"

namespace lianshuo {
namespace {

using Json = nlohmann::ordered_json;
using sxcu::Piece;

// How plain text of a request value is written into the interface's templates.
enum class Place { Address, Query, Form, Verbatim };

bool isResponseKeyword(const std::string& keyword) {
    return keyword == "response" || keyword == "json" || keyword == "regex" || keyword == "header";
}

// A shared file is read whole and its values go into the settings file: both stay small.
constexpr std::size_t kLargestFile = 1024 * 1024;
constexpr std::size_t kLargestValue = 64 * 1024;

// The members read as text, and those read as objects of name and value.
constexpr std::array<const char*, 9> kTextMembers{
    "Name", "DestinationType", "RequestMethod", "RequestType", "RequestURL", "Body", "Data",
    "URL",  "ErrorMessage"};
constexpr std::array<const char*, 3> kObjectMembers{"Headers", "Parameters", "Arguments"};

std::size_t textSize(const Json& value) {
    return value.is_string() ? value.get_ref<const std::string&>().size() : value.dump().size();
}

// Why a member holds what no interface can take: the wrong kind of value, or
// a value too large; null stands for a missing member.
std::string shapeProblem(const Json& file) {
    auto named = [](const std::string& name) { return "“" + fromUtf8(name) + "”"; };
    for (const auto& [name, value] : file.items()) {
        if (value.is_null()) continue;
        const bool text =
            std::find(kTextMembers.begin(), kTextMembers.end(), name) != kTextMembers.end();
        const bool object =
            std::find(kObjectMembers.begin(), kObjectMembers.end(), name) != kObjectMembers.end();
        if (text && !value.is_string()) return named(name) + "应为文本";
        if (object && !value.is_object()) return named(name) + "应为 JSON 对象";
        if (name == "RegexList" &&
            (!value.is_array() || !std::all_of(value.begin(), value.end(),
                                               [](const Json& item) { return item.is_string(); })))
            return named(name) + "应为文本的数组";
        if (!value.is_structured()) {
            if (textSize(value) > kLargestValue) return named(name) + "的值超过 64 KiB";
            continue;
        }
        for (const auto& [key, item] : value.items())
            if (key.size() > kLargestValue || textSize(item) > kLargestValue)
                return named(name) + "中有一项超过 64 KiB";
    }
    return {};
}

// A byte that would end a header line or hide in one.
bool breaksHeaderLine(const std::string& text, bool tabAllowed) {
    return std::any_of(text.begin(), text.end(), [&](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && !(tabAllowed && c == '\t')) || byte == 0x7F;
    });
}

bool isWebAddress(const std::string& address) {
    const std::string lower = toLowerAscii(address);
    return lower.starts_with("http://") || lower.starts_with("https://");
}

class Importer {
public:
    explicit Importer(const Json& file) : file_(file) {
        if (const auto list = file.find("RegexList"); list != file.end() && list->is_array())
            for (const Json& item : *list)
                regexes_.push_back(item.is_string() ? item.get<std::string>() : "");
    }

    Result<ShortUrlInterface> run();

private:
    std::string member(const char* name) const {
        const auto found = file_.find(name);
        return found != file_.end() && found->is_string() ? found->get<std::string>()
                                                          : std::string();
    }
    void refuse(std::string problem) {
        if (problems_.empty()) problems_ = std::move(problem);
    }
    std::string requestText(const std::string& value, Place place, const char* where);
    void readBody(const std::string& method);
    void readResponse();
    bool readTemplate(const std::string& url);
    void readErrorMessage();
    std::string regexFor(const Piece& piece);
    // The one piece of a response value that reads the reply, with the text around it.
    struct Extraction {
        Piece piece;
        std::string before, after;
        bool found = false;
    };
    Extraction extraction(const std::string& value, const char* where);

    const Json& file_;
    std::vector<std::string> regexes_;  // UTF-8
    ShortUrlInterface d_;
    std::string problems_;
};

std::string Importer::requestText(const std::string& value, Place place, const char* where) {
    std::string out;
    for (const Piece& piece : sxcu::parseValue(value)) {
        if (!piece.syntax) {
            const std::string gbk = fromUtf8(piece.text);
            out += place == Place::Query || place == Place::Form ? percentEncodeComponent(gbk, true)
                                                                 : gbk;
        } else if (piece.text == "input") {
            out += "#长网址#";
        } else if (piece.text == "prompt") {
            out += "#别名#";
        } else if (piece.text == "base64") {
            out += fromUtf8(sxcu::base64(piece.argument));
        } else if (isResponseKeyword(piece.text)) {
            refuse(std::string(where) + " 中的“" + fromUtf8(piece.written) +
                   "”要用到回复，不能用在请求中");
        } else {
            refuse("不支持 " + std::string(where) + " 中的“" + fromUtf8(piece.written) + "”");
        }
    }
    return out;
}

// Form fields as "name=value&…", multipart fields as "name=value" lines.
void Importer::readBody(const std::string& method) {
    std::string body = member("Body");
    const auto arguments = file_.find("Arguments");
    const bool hasArguments =
        arguments != file_.end() && arguments->is_object() && !arguments->empty();
    // Files older than the "Body" member sent their arguments as a form.
    if (body.empty()) body = hasArguments && method != "GET" ? "FormURLEncoded" : "None";
    if (body == "Binary") return refuse("不支持 Body 为 Binary（上传文件）");
    if (body == "None") return;
    if (body == "FormURLEncoded" || body == "MultipartFormData") {
        const bool form = body == "FormURLEncoded";
        d_.bodyFormat = form ? BodyFormat::Form : BodyFormat::Multipart;
        std::vector<std::string> fields;
        if (hasArguments) {
            for (const auto& [name, value] : arguments->items()) {
                const std::string text =
                    value.is_string() ? value.get<std::string>() : value.dump();
                const Place place = form ? Place::Form : Place::Verbatim;
                std::string field = requestText(sxcu::escapePlain(name), place, "Arguments") + "=" +
                                    requestText(text, place, "Arguments");
                if (!form && field.find_first_of("\r\n") != std::string::npos)
                    refuse("multipart 字段“" + fromUtf8(name) + "”的值含有换行");
                fields.push_back(std::move(field));
            }
        }
        d_.postTemplate = joinText(fields, form ? "&" : "\r\n");
        return;
    }
    if (body == "JSON" || body == "XML") {
        d_.bodyFormat = body == "JSON" ? BodyFormat::Json : BodyFormat::Raw;
        d_.postTemplate = requestText(member("Data"), Place::Verbatim, "Data");
        const std::vector<std::string> lines = headerLinesOf(d_.headers);
        const bool typed = std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
            return toLowerAscii(trimSpaces(line.substr(0, line.find(':')))) == "content-type";
        });
        if (body == "XML" && !typed)
            d_.headers +=
                std::string(d_.headers.empty() ? "" : "\r\n") + "Content-Type: application/xml";
        return;
    }
    refuse("不认识的 Body“" + fromUtf8(body) + "”");
}

// A regular expression whose chosen group (see firstMatchGroup) is the group the piece names.
std::string Importer::regexFor(const Piece& piece) {
    std::string argument = piece.argument;
    std::replace(argument.begin(), argument.end(), ',', '|');
    const std::size_t bar = argument.find('|');
    const std::string index = argument.substr(0, bar);
    const std::string group = bar == std::string::npos ? "0" : argument.substr(bar + 1);
    const std::size_t n =
        index.empty() || index.find_first_not_of("0123456789") != std::string::npos
            ? 0
            : std::stoul(index.substr(0, 6));
    if (n < 1 || n > regexes_.size()) {
        refuse("“" + fromUtf8(piece.written) + "”指向 RegexList 中不存在的一项");
        return {};
    }
    std::string pattern = fromUtf8(regexes_[n - 1]);
    const std::string chosen = chosenGroupName(pattern);
    if (chosen.empty()) {
        refuse("RegexList 第 " + std::to_string(n) + " 项不是有效的正则表达式：" +
               checkRegex(pattern).reason());
        return {};
    }
    if (group == chosen) return pattern;
    if (group == "0" && chosen != "url") return "(?<url>" + pattern + ")";
    for (const char* opening : {"(?<", "(?P<", "(?'"}) {
        const std::string named = opening + fromUtf8(group) + (opening[2] == '\'' ? "'" : ">");
        if (group != "1" && group != "0" && chosen != "url" && containsText(pattern, named))
            return replaceAll(pattern, named, "(?<url>");
    }
    refuse("“" + fromUtf8(piece.written) + "”取的组无法对应（只能取第 0、1 组或命名的组）");
    return {};
}

Importer::Extraction Importer::extraction(const std::string& value, const char* where) {
    Extraction out;
    bool after = false;
    for (Piece& piece : sxcu::parseValue(value)) {
        if (!piece.syntax) {
            (after ? out.after : out.before) += fromUtf8(piece.text);
        } else if (!isResponseKeyword(piece.text)) {
            refuse("不支持 " + std::string(where) + " 中的“" + fromUtf8(piece.written) + "”");
        } else if (out.found) {
            refuse(std::string(where) + " 中只能有一处取自回复");
        } else {
            out.piece = std::move(piece);
            out.found = after = true;
        }
    }
    return out;
}

// A URL made of several JSON values ("https://{json:domain}/{json:id}") is a result template;
// false, changing nothing, for any other URL.
bool Importer::readTemplate(const std::string& url) {
    const std::vector<Piece> pieces = sxcu::parseValue(url);
    int values = 0;
    for (const Piece& piece : pieces) {
        if (!piece.syntax) continue;
        if (piece.text != "json") return false;
        ++values;
    }
    if (values < 2) return false;
    for (const Piece& piece : pieces)
        d_.resultTemplate +=
            piece.syntax ? "#值(" + fromUtf8(piece.argument) + ")#" : fromUtf8(piece.text);
    d_.extractKind = ExtractKind::Json;
    return true;
}

void Importer::readResponse() {
    const std::string url = member("URL");
    if (readTemplate(url)) return readErrorMessage();
    Extraction result = extraction(url.empty() ? "{response}" : url, "URL");
    if (!result.found) return refuse("URL 中没有取自回复的部分");
    const Piece& piece = result.piece;
    if (piece.text == "json") {
        d_.extractKind = ExtractKind::Json;
        d_.extractExpression = fromUtf8(piece.argument);
    } else if (piece.text == "regex") {
        d_.extractKind = ExtractKind::Regex;
        d_.extractExpression = regexFor(piece);
    } else if (piece.text == "header") {
        d_.extractKind = ExtractKind::Header;
        d_.extractExpression = fromUtf8(piece.argument);
    }
    if (!result.before.empty() || !result.after.empty()) {
        d_.insertEnabled = true;
        d_.prefix = result.before;
        d_.suffix = result.after;
    }
    readErrorMessage();
}

void Importer::readErrorMessage() {
    const std::string error = member("ErrorMessage");
    if (error.empty()) return;
    const Extraction words = extraction(error, "ErrorMessage");
    // The reply itself is what a failure shows anyway.
    if (!words.found || words.piece.text == "response") return;
    const bool json = d_.extractKind == ExtractKind::Json;
    if (words.piece.text == "json" && json) {
        d_.errorExpression = fromUtf8(words.piece.argument);
    } else if (words.piece.text == "regex" && !json) {
        d_.errorExpression = regexFor(words.piece);
    } else {
        refuse("ErrorMessage 的“" + fromUtf8(words.piece.written) +
               "”与 URL 的提取方式不同，无法对应（JSON 提取配 json，其余配 regex）");
    }
}

Result<ShortUrlInterface> Importer::run() {
    const std::string types = member("DestinationType");
    if (!containsText(types, "URLShortener") && !containsText(types, "URLSharingService"))
        return Failure{0, "不是短网址接口（DestinationType：" +
                              (types.empty() ? std::string("无") : fromUtf8(types)) +
                              "），只能导入 URLShortener 或 URLSharingService"};
    d_.utf8Encoding = true;
    std::string method = member("RequestMethod");
    if (method.empty()) method = member("RequestType");  // files of older versions
    if (method.empty()) method = "POST";
    if (!setRequestMethod(d_, method)) refuse("不支持请求方法“" + fromUtf8(method) + "”");
    method = requestMethod(d_);

    const std::string address = member("RequestURL");
    if (address.empty()) return Failure{0, "缺少 RequestURL"};
    d_.address = requestText(address, Place::Address, "RequestURL");
    if (problems_.empty() && !isWebAddress(d_.address))
        return Failure{0, "RequestURL 只能是 http 或 https 地址"};
    std::vector<std::string> query;
    auto addQuery = [&](const Json& object) {
        for (const auto& [name, value] : object.items())
            query.push_back(requestText(sxcu::escapePlain(name), Place::Query, "Parameters") + "=" +
                            requestText(value.is_string() ? value.get<std::string>() : value.dump(),
                                        Place::Query, "Parameters"));
    };
    if (const auto parameters = file_.find("Parameters");
        parameters != file_.end() && parameters->is_object())
        addQuery(*parameters);
    // Older files put a GET request's fields into "Arguments".
    if (const auto arguments = file_.find("Arguments"); method == "GET" && member("Body").empty() &&
                                                        arguments != file_.end() &&
                                                        arguments->is_object())
        addQuery(*arguments);
    if (!query.empty())
        d_.address += (containsText(d_.address, "?") ? "&" : "?") + joinText(query, "&");

    std::vector<std::string> headers;
    if (const auto found = file_.find("Headers"); found != file_.end() && found->is_object())
        for (const auto& [name, value] : found->items()) {
            const std::string text = value.is_string() ? value.get<std::string>() : value.dump();
            if (breaksHeaderLine(name, false) || breaksHeaderLine(text, true))
                return Failure{0, "“Headers”中“" + fromUtf8(name) + "”含有换行或控制字符"};
            headers.push_back(fromUtf8(name) + ": " +
                              requestText(text, Place::Verbatim, "Headers"));
        }
    d_.headers = joinText(headers, "\r\n");
    readBody(method);
    readResponse();

    const std::string name = fromUtf8(member("Name"));
    if (!name.empty() && name != hostOfUrl(d_.address)) d_.name = name;
    if (problems_.empty()) problems_ = checkInterfaceKeys(d_, "；").reason();
    if (!problems_.empty()) return Failure{0, problems_};
    return d_;
}

}  // namespace

bool isSxcuPath(std::string_view path) {
    return path.size() >= 5 && toLowerAscii(path.substr(path.size() - 5)) == ".sxcu";
}

Result<ShortUrlInterface> interfaceFromSxcu(std::string_view fileText) {
    if (fileText.size() > kLargestFile) return Failure{0, "文件超过 1 MiB"};
    // Checked before the document is built: values are written out again, and
    // writing follows the nesting by recursion.
    if (Status json = checkJsonText(fileText); !json) return json;
    Json file;
    try {
        file = Json::parse(fileText);
    } catch (const nlohmann::json::exception& error) {
        return Failure{0, "不是有效的 JSON：" + fromUtf8(error.what())};
    }
    if (!file.is_object()) return Failure{0, "不是 JSON 对象"};
    if (std::string problem = shapeProblem(file); !problem.empty()) return Failure{0, problem};
    return Importer(file).run();
}

}  // namespace lianshuo

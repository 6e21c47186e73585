#include "services/interfacerules.h"

#include <algorithm>
#include <charconv>

#include "base/gbk.h"
#include "script/regexgroup.h"
#include "services/jsonpath.h"
#include "services/replyreader.h"
#include "services/resulttemplate.h"
#include "services/secretmask.h"
#include "services/templatesyntax.h"
#include "services/tokenrequest.h"

namespace lianshuo {
namespace {

// The characters HTTP allows in a header name.
bool isTokenChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool holdsControl(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

std::string upperAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

struct StatusRange {
    long low = 0, high = -1;
};

// Parses "200-299,304"; false when any item is no status or range of statuses.
bool parseStatuses(std::string_view list, std::vector<StatusRange>& ranges) {
    for (const std::string& raw : splitText(list, ",")) {
        const std::string item = trimSpaces(raw);
        const std::size_t dash = item.find('-');
        auto number = [](std::string_view text, long& value) {
            const std::string trimmed = trimSpaces(text);
            const auto [end, ec] =
                std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
            return ec == std::errc() && end == trimmed.data() + trimmed.size() && value >= 100 &&
                   value <= 599;
        };
        StatusRange range;
        if (dash == std::string::npos) {
            if (!number(item, range.low)) return false;
            range.high = range.low;
        } else if (!number(std::string_view(item).substr(0, dash), range.low) ||
                   !number(std::string_view(item).substr(dash + 1), range.high) ||
                   range.high < range.low) {
            return false;
        }
        ranges.push_back(range);
    }
    return !ranges.empty();
}

std::string expressionProblem(ExtractKind kind, std::string_view expression, bool forError) {
    const std::string what = forError ? "错误表达式" : "提取表达式";
    switch (kind) {
        case ExtractKind::Cut:
            // The error expression of a cut is a regular expression.
            if (!forError) return {};
            [[fallthrough]];
        case ExtractKind::Regex: {
            if (expression.empty()) return what + "为空";
            const Status compiles = checkRegex(expression);
            return compiles ? std::string() : what + "不是有效的正则表达式：" + compiles.reason();
        }
        case ExtractKind::Json: {
            const Status path = checkJsonPath(expression);
            return path ? std::string() : what + "：" + path.reason();
        }
        case ExtractKind::Header:
            if (forError) return expressionProblem(ExtractKind::Regex, expression, true);
            if (expression.empty() ||
                !std::all_of(expression.begin(), expression.end(), isTokenChar))
                return what + "应为一个回复头的名称，如 Location";
            return {};
    }
    return "提取方式 " + std::to_string(static_cast<int>(kind)) + " 不受支持（0 到 3）";
}

}  // namespace

std::string requestMethod(const ShortUrlInterface& d) {
    if (!d.method.empty()) return upperAscii(d.method);
    return d.postMode ? "POST" : "GET";
}

bool methodSendsBody(std::string_view method) {
    return method == "POST" || method == "PUT" || method == "PATCH";
}

bool setRequestMethod(ShortUrlInterface& d, std::string_view method) {
    const std::string upper = upperAscii(method);
    if (upper != "GET" && !methodSendsBody(upper)) return false;
    d.postMode = upper != "GET";
    d.method = upper == "PUT" || upper == "PATCH" ? upper : std::string();
    return true;
}

std::vector<std::string> headerLinesOf(std::string_view headers) {
    std::vector<std::string> lines;
    for (std::string line : splitText(headers, "\n")) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!trimSpaces(line).empty()) lines.push_back(std::move(line));
    }
    return lines;
}

Status checkHeaderLine(std::string_view line) {
    const std::size_t colon = line.find(':');
    const std::string_view name = line.substr(0, colon == std::string_view::npos ? 0 : colon);
    if (colon == std::string_view::npos || name.empty() ||
        !std::all_of(name.begin(), name.end(), isTokenChar) ||
        trimSpaces(line.substr(colon + 1)).empty())
        return Status::failed("请求头“" + std::string(line) + "”不是“名称: 值”的形式");
    if (holdsControl(line)) return Status::failed("请求头“" + std::string(name) + "”含有控制字符");
    return {};
}

bool statusAccepted(long status, std::string_view list) {
    if (trimSpaces(list).empty()) return status >= 200 && status <= 299;
    std::vector<StatusRange> ranges;
    if (!parseStatuses(list, ranges)) return false;
    return std::any_of(ranges.begin(), ranges.end(),
                       [&](const StatusRange& r) { return status >= r.low && status <= r.high; });
}

Status checkStatusList(std::string_view list) {
    std::vector<StatusRange> ranges;
    if (trimSpaces(list).empty() || parseStatuses(list, ranges)) return {};
    return Status::failed("成功状态码“" + std::string(list) +
                          "”应为 100 到 599 的状态码或范围，以逗号分隔，如 200-299");
}

Status checkInterfaceKeys(const ShortUrlInterface& d, std::string_view separator) {
    std::vector<std::string> problems;
    const std::string method = requestMethod(d);
    if (method != "GET" && !methodSendsBody(method))
        problems.push_back("请求方法“" + d.method + "”不受支持（GET、POST、PUT 或 PATCH）");
    for (const std::string& line : headerLinesOf(d.headers))
        if (const Status header = checkHeaderLine(line); !header)
            problems.push_back(header.reason());
    for (const auto& [what, text] :
         {std::pair<const char*, const std::string&>{"接口地址", d.address},
          {"请求头", d.headers},
          {"POST 数据", d.postTemplate}})
        if (const auto parsed = parseTemplate(text); !parsed)
            problems.push_back(std::string(what) + "：" + parsed.reason());
    const int format = static_cast<int>(d.bodyFormat);
    if (format < 0 || format > 3)
        problems.push_back("请求格式 " + std::to_string(format) + " 不受支持（0 到 3）");
    // With JSON extraction a result template may name every value itself.
    const bool templateAlone = d.extractKind == ExtractKind::Json && !d.resultTemplate.empty() &&
                               d.extractExpression.empty();
    if (std::string problem = expressionProblem(d.extractKind, d.extractExpression, false);
        !problem.empty() && !templateAlone)
        problems.push_back(std::move(problem));
    if (const Status filled = checkResultTemplate(d); !filled) problems.push_back(filled.reason());
    if (!d.errorExpression.empty())
        if (std::string problem = expressionProblem(d.extractKind, d.errorExpression, true);
            !problem.empty())
            problems.push_back(std::move(problem));
    for (const auto& [what, rule] :
         {std::pair<const char*, const std::string&>{"成功表达式", d.successRule},
          {"限流表达式", d.throttleRule}}) {
        if (rule.empty()) continue;
        const Status valid = d.extractKind == ExtractKind::Json
                                 ? checkJsonPath(parseJsonRule(rule).path)
                                 : checkRegex(rule);
        if (!valid) problems.push_back(std::string(what) + "：" + valid.reason());
    }
    if (const Status statuses = checkStatusList(d.successStatuses); !statuses)
        problems.push_back(statuses.reason());
    if (d.pauseMs < 0 || d.pauseMs > kLongestPauseMs)
        problems.push_back("间隔毫秒应在 0 到 600000 之间");
    addTokenRequestProblems(d, problems);
    if (problems.empty()) return {};
    // Refusals quote what was written (a header line, a template): a secret written into one
    // stays masked, whoever shows the refusal.
    return Status::failed(SecretMask(interfaceSecrets(d)).apply(joinText(problems, separator)));
}

}  // namespace lianshuo

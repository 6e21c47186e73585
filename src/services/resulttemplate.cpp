#include "services/resulttemplate.h"

#include "base/gbk.h"
#include "services/jsonpath.h"

namespace lianshuo {
namespace {

constexpr std::string_view kValueOpen = "#值(";
constexpr std::string_view kGroupOpen = "#组(";
constexpr std::string_view kClose = ")#";

}  // namespace

Result<std::vector<ResultPiece>> parseResultTemplate(std::string_view text) {
    std::vector<ResultPiece> pieces;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t value = text.find(kValueOpen, at);
        const std::size_t group = text.find(kGroupOpen, at);
        const std::size_t open = std::min(value, group);
        if (open == std::string_view::npos) {
            pieces.push_back({ResultPiece::Literal, std::string(text.substr(at))});
            break;
        }
        if (open > at)
            pieces.push_back({ResultPiece::Literal, std::string(text.substr(at, open - at))});
        const bool isValue = open == value;
        const std::size_t argument = open + (isValue ? kValueOpen : kGroupOpen).size();
        // A path may hold ")" inside quotes ("a[')']"): the call ends at the last ")#" before
        // the next call opens.
        const std::size_t next =
            std::min(text.find(kValueOpen, argument), text.find(kGroupOpen, argument));
        std::size_t close = text.substr(0, next).rfind(kClose);
        const std::string opened(text.substr(open, argument - open));
        if (close == std::string_view::npos || close < argument)
            return Failure{0, "结果模板：“" + opened + "”没有以“)#”结束"};
        const std::string inside = trimSpaces(text.substr(argument, close - argument));
        if (inside.empty()) return Failure{0, "结果模板：“" + opened + ")#”中没有内容"};
        if (!isValue && (inside.size() > 2 || inside.find_first_not_of("0123456789") != npos))
            return Failure{0, "结果模板：“#组(" + inside + ")#”中应为组的编号"};
        pieces.push_back({isValue ? ResultPiece::Value : ResultPiece::Group, inside});
        at = close + kClose.size();
    }
    return pieces;
}

std::vector<std::string> resultTemplatePaths(std::string_view resultTemplate) {
    std::vector<std::string> paths;
    const auto pieces = parseResultTemplate(resultTemplate);
    if (!pieces) return paths;
    for (const ResultPiece& piece : *pieces)
        if (piece.kind == ResultPiece::Value) paths.push_back(piece.text);
    return paths;
}

Status checkResultTemplate(const ShortUrlInterface& d) {
    if (d.resultTemplate.empty()) return {};
    const auto pieces = parseResultTemplate(d.resultTemplate);
    if (!pieces) return pieces.status();
    for (const ResultPiece& piece : *pieces) {
        if (piece.kind == ResultPiece::Value) {
            if (d.extractKind != ExtractKind::Json)
                return Status::failed("结果模板的“#值(…)#”须用 JSON 提取（提取方式 1）");
            if (Status path = checkJsonPath(piece.text); !path)
                return Status::failed("结果模板：" + path.reason());
        } else if (piece.kind == ResultPiece::Group && d.extractKind != ExtractKind::Regex) {
            return Status::failed("结果模板的“#组(…)#”须用正则表达式提取（提取方式 2）");
        }
    }
    return {};
}

std::optional<std::string> fillResultTemplate(
    const std::vector<ResultPiece>& pieces,
    const std::function<std::optional<std::string>(const ResultPiece&)>& value) {
    std::string out;
    for (const ResultPiece& piece : pieces) {
        if (piece.kind == ResultPiece::Literal) {
            out += piece.text;
            continue;
        }
        std::optional<std::string> text = value(piece);
        // A missing part makes no address; it is not left out of one.
        if (!text || text->empty()) return std::nullopt;
        out += *text;
    }
    return out;
}

}  // namespace lianshuo

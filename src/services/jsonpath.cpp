#include "services/jsonpath.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <vector>

#include "app/base/charset.h"

namespace lianshuo {

struct JsonDocument::Value {
    nlohmann::json json;
};

namespace {

struct Step {
    std::string key;  // UTF-8; used when index < 0
    long index = -1;
};

struct ParsedPath {
    std::vector<Step> steps;
    std::string problem;
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// "[0]" or "['key']" / "[\"key\"]" at `at` (which holds "["); returns the position after "]".
std::size_t parseBracket(std::string_view path, std::size_t at, ParsedPath& out) {
    const std::size_t start = at + 1;
    if (start < path.size() && (path[start] == '\'' || path[start] == '"')) {
        const char quote = path[start];
        const std::size_t close = path.find(quote, start + 1);
        if (close == std::string_view::npos || close + 1 >= path.size() || path[close + 1] != ']') {
            out.problem = "引号没有闭合";
            return std::string_view::npos;
        }
        out.steps.push_back({toUtf8(path.substr(start + 1, close - start - 1)), -1});
        return close + 2;
    }
    const std::size_t close = path.find(']', start);
    const std::string_view digits =
        path.substr(start, close == std::string_view::npos ? 0 : close - start);
    if (close == std::string_view::npos || digits.empty() || digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), isDigit)) {
        out.problem = "方括号中应为下标数字或带引号的键";
        return std::string_view::npos;
    }
    out.steps.push_back({{}, std::stol(std::string(digits))});
    return close + 1;
}

ParsedPath parsePath(std::string_view path) {
    ParsedPath out;
    if (path == "$") return out;  // the whole document
    if (path.starts_with("$")) path.remove_prefix(1);
    if (path.starts_with(".")) path.remove_prefix(1);
    std::size_t at = 0;
    bool expectKey = true;  // at the start and after "."
    while (at < path.size()) {
        if (path[at] == '[') {
            at = parseBracket(path, at, out);
            if (at == std::string_view::npos) return out;
            expectKey = false;
            continue;
        }
        if (path[at] == '.') {
            if (expectKey) break;  // an empty key: "a..b", ".a" after "$."
            expectKey = true;
            ++at;
            continue;
        }
        if (!expectKey) break;  // "[0]x"
        const std::size_t end = path.find_first_of(".[", at);
        const std::string_view key =
            path.substr(at, end == std::string_view::npos ? end : end - at);
        out.steps.push_back({toUtf8(key), -1});
        at += key.size();
        expectKey = false;
    }
    if (at < path.size() || (expectKey && !out.steps.empty())) {
        out.problem = "在第 " + std::to_string(at + 1) + " 个字符处无法识别";
    } else if (out.steps.empty()) {
        out.problem = "路径为空";
    }
    return out;
}

}  // namespace

std::string jsonPathProblem(std::string_view path) {
    const std::string problem = parsePath(path).problem;
    return problem.empty() ? std::string() : "JSON 路径“" + std::string(path) + "”" + problem;
}

std::optional<JsonDocument> JsonDocument::parse(std::string_view gbkText) {
    nlohmann::json json = nlohmann::json::parse(toUtf8(gbkText), nullptr, false);
    if (json.is_discarded()) return std::nullopt;
    JsonDocument document;
    document.root_ = std::make_shared<const Value>(Value{std::move(json)});
    return document;
}

std::optional<std::string> JsonDocument::valueAt(std::string_view path) const {
    const ParsedPath parsed = parsePath(path);
    if (!parsed.problem.empty()) return std::nullopt;
    const nlohmann::json* node = &root_->json;
    for (const Step& step : parsed.steps) {
        if (step.index >= 0) {
            if (!node->is_array() || static_cast<std::size_t>(step.index) >= node->size())
                return std::nullopt;
            node = &(*node)[static_cast<std::size_t>(step.index)];
        } else {
            if (!node->is_object()) return std::nullopt;
            const auto found = node->find(step.key);
            if (found == node->end()) return std::nullopt;
            node = &*found;
        }
    }
    if (node->is_null()) return std::nullopt;
    if (node->is_string()) return fromUtf8(node->get_ref<const std::string&>());
    return fromUtf8(node->dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

}  // namespace lianshuo

#include "services/jsonpath.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <vector>

#include "base/charset.h"

namespace lianshuo {

namespace {

struct Step {
    std::string key;  // UTF-8; used when index < 0
    long index = -1;
};

struct ParsedPath {
    std::vector<Step> steps;
    std::string refusal;  // why the path is none; empty when it is one
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
            out.refusal = "引号没有闭合";
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
        out.refusal = "方括号中应为下标数字或带引号的键";
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
        out.refusal = "在第 " + std::to_string(at + 1) + " 个字符处无法识别";
    } else if (out.steps.empty()) {
        out.refusal = "路径为空";
    }
    return out;
}

}  // namespace

Status checkJsonPath(std::string_view path) {
    const std::string refusal = parsePath(path).refusal;
    if (refusal.empty()) return {};
    return Status::failed("JSON 路径“" + std::string(path) + "”" + refusal);
}

namespace {

using Json = nlohmann::json;

std::string jsonQuoted(const std::string& utf8) {
    return Json(utf8).dump(-1, ' ', false, Json::error_handler_t::replace);
}

// Follows the parser's events with a stack of open containers instead of a
// tree: each frame knows which paths lead into it, and the values at the
// paths are written out as their events pass. A key seen twice counts from
// its last occurrence, as in a parsed document.
class PathCollector {
public:
    PathCollector(const std::vector<ParsedPath>& paths, std::size_t deepest)
        : paths_(paths), deepest_(deepest), found_(paths.size()) {}

    bool null() {
        scalar(JsonKind::Text, "null", /*isNull=*/true);
        return true;
    }
    bool boolean(bool value) {
        scalar(JsonKind::Flag, value ? "true" : "false");
        return true;
    }
    bool number_integer(Json::number_integer_t value) {
        scalar(JsonKind::Number, std::to_string(value));
        return true;
    }
    bool number_unsigned(Json::number_unsigned_t value) {
        scalar(JsonKind::Number, std::to_string(value));
        return true;
    }
    bool number_float(Json::number_float_t value, const std::string&) {
        scalar(JsonKind::Number, Json(value).dump());
        return true;
    }
    bool string(std::string& value) {
        const std::vector<std::size_t> targets = beginValue();
        if (!captures_.empty()) emit(jsonQuoted(value));
        for (const std::size_t path : targets)
            found_[path] = JsonFound{JsonKind::Text, fromUtf8(value)};
        return true;
    }
    bool binary(Json::binary_t&) { return false; }  // not in JSON text
    bool start_object(std::size_t) { return open(false); }
    bool start_array(std::size_t) { return open(true); }
    bool key(std::string& name) {
        Frame& frame = frames_.back();
        const bool separated = frame.items++ > 0;
        if (!captures_.empty()) emit((separated ? "," : "") + jsonQuoted(name) + ":");
        frame.key = std::move(name);
        return true;
    }
    bool end_object() { return close('}'); }
    bool end_array() { return close(']'); }
    bool parse_error(std::size_t, const std::string&, const Json::exception& error) {
        if (problem_.empty()) problem_ = "不是有效的 JSON：" + fromUtf8(error.what());
        return false;
    }

    const std::string& reason() const { return problem_; }
    std::vector<std::optional<JsonFound>> takeFound() { return std::move(found_); }

private:
    struct Frame {
        bool array = false;
        std::size_t items = 0;          // members or items begun so far
        std::string key;                // an object's member being read
        std::vector<std::size_t> live;  // paths whose steps so far lead into this container
    };
    struct Capture {
        std::size_t path = 0;
        std::size_t level = 0;  // frames open around the captured container
        JsonKind kind = JsonKind::Object;
        std::string text;  // UTF-8 compact JSON so far
    };

    // The paths that lead to the value beginning now, split: those ending here
    // come back (their earlier finding forgotten), those going on are kept for
    // the container this value may open.
    std::vector<std::size_t> beginValue() {
        std::vector<std::size_t> here;
        const std::size_t level = frames_.size();
        if (level == 0) {
            for (std::size_t p = 0; p < paths_.size(); ++p)
                if (paths_[p].refusal.empty()) here.push_back(p);
        } else {
            Frame& frame = frames_.back();
            const std::size_t index = frame.array ? frame.items++ : 0;
            if (frame.array && index > 0 && !captures_.empty()) emit(",");
            for (const std::size_t p : frame.live) {
                const Step& step = paths_[p].steps[level - 1];
                const bool leads =
                    frame.array ? step.index >= 0 && static_cast<std::size_t>(step.index) == index
                                : step.index < 0 && step.key == frame.key;
                if (leads) here.push_back(p);
            }
        }
        std::vector<std::size_t> ending;
        pending_.clear();
        for (const std::size_t p : here) {
            found_[p].reset();
            (paths_[p].steps.size() == level ? ending : pending_).push_back(p);
        }
        return ending;
    }

    void scalar(JsonKind kind, const std::string& text, bool isNull = false) {
        const std::vector<std::size_t> targets = beginValue();
        if (!captures_.empty()) emit(text);
        if (!isNull)
            for (const std::size_t path : targets) found_[path] = JsonFound{kind, fromUtf8(text)};
    }

    bool open(bool array) {
        if (frames_.size() >= deepest_) {
            problem_ = jsonDepthReason(deepest_);
            return false;
        }
        const std::vector<std::size_t> targets = beginValue();
        const JsonKind kind = array ? JsonKind::Array : JsonKind::Object;
        for (const std::size_t path : targets)
            captures_.push_back({path, frames_.size(), kind, {}});
        if (!captures_.empty()) emit(array ? "[" : "{");
        frames_.push_back({array, 0, {}, std::move(pending_)});
        pending_ = {};
        return true;
    }

    bool close(char closer) {
        frames_.pop_back();
        if (captures_.empty()) return true;
        emit(std::string(1, closer));
        while (!captures_.empty() && captures_.back().level == frames_.size()) {
            Capture& done = captures_.back();
            found_[done.path] = JsonFound{done.kind, fromUtf8(done.text)};
            captures_.pop_back();
        }
        return true;
    }

    void emit(const std::string& text) {
        for (Capture& capture : captures_) capture.text += text;
    }

    const std::vector<ParsedPath>& paths_;
    std::size_t deepest_;
    std::vector<std::optional<JsonFound>> found_;
    std::vector<Frame> frames_;
    std::vector<Capture> captures_;
    std::vector<std::size_t> pending_;
    std::string problem_;
};

}  // namespace

std::string jsonDepthReason(std::size_t deepest) {
    return "JSON 嵌套超过 " + std::to_string(deepest) + " 层";
}

Result<std::vector<std::optional<JsonFound>>> findJsonValues(
    std::string_view gbkText, const std::vector<std::string>& paths) {
    std::vector<ParsedPath> parsed;
    parsed.reserve(paths.size());
    for (const std::string& path : paths) parsed.push_back(parsePath(path));
    PathCollector collector(parsed, kDeepestJson);
    // ASCII reads the same in both charsets, and is what most JSON replies are: read in place.
    const bool ascii = std::all_of(gbkText.begin(), gbkText.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const std::string converted = ascii ? std::string() : toUtf8(gbkText);
    const std::string_view utf8 = ascii ? gbkText : std::string_view(converted);
    if (!Json::sax_parse(utf8.begin(), utf8.end(), &collector))
        return Failure{0, collector.reason()};
    return collector.takeFound();
}

Status checkJsonText(std::string_view utf8, std::size_t deepest) {
    const std::vector<ParsedPath> none;
    PathCollector collector(none, deepest);
    if (Json::sax_parse(utf8.begin(), utf8.end(), &collector)) return {};
    return Status::failed(collector.reason());
}

}  // namespace lianshuo

#pragma once
// JSON paths as interfaces write them: "shortUrl", "data.tiny_url",
// "[0].url_short", "files[0].url", "a['odd.key']", with an optional leading
// "$" or "$.". Texts in and out are GBK; the JSON itself is read as UTF-8.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace lianshuo {

/// Why `path` is no JSON path; empty when it is one.
std::string jsonPathProblem(std::string_view path);

/// A reply parsed once as JSON, to be asked for several paths.
class JsonDocument {
public:
    /// The document in `gbkText`; nullopt when the text is no JSON.
    static std::optional<JsonDocument> parse(std::string_view gbkText);

    /// The value at `path`: a string's contents, a number's or a flag's text,
    /// an object or array as compact JSON. Nullopt when the path is invalid,
    /// leads nowhere or to null.
    std::optional<std::string> valueAt(std::string_view path) const;

private:
    struct Value;
    std::shared_ptr<const Value> root_;
};

}  // namespace lianshuo

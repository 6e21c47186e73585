#pragma once
// JSON paths as interfaces write them: "shortUrl", "data.tiny_url",
// "[0].url_short", "files[0].url", "a['odd.key']", with an optional leading
// "$" or "$.". Texts in and out are GBK; the JSON itself is read as UTF-8.
//
// A reply is read in one pass that keeps only the values asked for, so a
// large reply costs little more than its own text, and nesting is counted
// rather than followed by recursion, so a deep reply is refused, not a crash.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace lianshuo {

/// The deepest nesting of objects and arrays a JSON text may have.
inline constexpr std::size_t kDeepestJson = 512;

/// The reason a JSON text nesting deeper than `deepest` is refused with.
std::string jsonDepthReason(std::size_t deepest = kDeepestJson);

/// Fails, saying why, when `path` is no JSON path.
Status checkJsonPath(std::string_view path);

enum class JsonKind { Flag, Number, Text, Object, Array };

struct JsonFound {
    JsonKind kind = JsonKind::Text;
    std::string text;  // GBK: a string's contents, a number's or flag's text, else compact JSON
};

/// One entry per path of `paths`: the value there, nullopt when the path is
/// invalid, leads nowhere or to null. Fails when `gbkText` is no JSON text
/// or nests deeper than kDeepestJson; the reason says which.
Result<std::vector<std::optional<JsonFound>>> findJsonValues(std::string_view gbkText,
                                                             const std::vector<std::string>& paths);

/// Fails, saying why, when the UTF-8 text `utf8` is no JSON text or nests deeper than `deepest`.
Status checkJsonText(std::string_view utf8, std::size_t deepest = kDeepestJson);

}  // namespace lianshuo

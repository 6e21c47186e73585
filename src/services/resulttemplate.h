#pragma once
// "结果模板": a short address put together from several values of a reply,
// "#值(PATH)#" for the text at a JSON path, "#组(N)#" for a regular
// expression's group.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "services/shorturlinterface.h"

namespace lianshuo {

struct ResultPiece {
    enum Kind { Literal, Value, Group } kind = Literal;
    std::string text;  // the literal, the JSON path, or the group's number
};

/// The pieces of `resultTemplate`; fails, naming the piece, on an unclosed
/// "#值(" or "#组(", an empty path, or a group that is no number.
Result<std::vector<ResultPiece>> parseResultTemplate(std::string_view resultTemplate);

/// The JSON paths a template reads, in order (empty when it does not parse).
std::vector<std::string> resultTemplatePaths(std::string_view resultTemplate);

/// Fails when `definition`'s template cannot be filled by its extraction: it
/// does not parse, names a JSON path under another extraction than JSON or a
/// group under another than a regular expression, or holds a bad path.
Status checkResultTemplate(const ShortUrlInterface& definition);

/// The template filled in: `value(piece)` gives the text of a Value or Group
/// piece, nullopt when the reply has none, and then the whole is nullopt.
std::optional<std::string> fillResultTemplate(
    const std::vector<ResultPiece>& pieces,
    const std::function<std::optional<std::string>(const ResultPiece&)>& value);

}  // namespace lianshuo

#pragma once
// Reads one value out of a JSON reply by a dotted path, as text. It is not a
// parser: it scans the reply with the contents of strings blanked out, so that
// braces, brackets, colons and commas inside strings are never structure, and
// it reads slightly malformed replies the way their users have always seen
// them read. Every failure gives the empty text.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/regexobject.h"

namespace lianshuo {

namespace jsonscan {
struct LoadedText;
}

class JsonReader {
public:
    JsonReader();

    /// The value at the dotted `path` of `json` as text, or "". A segment holding a
    /// dot is written in double quotes ('' may stand for a quote); "[1]" is the first
    /// item of an array, or "[0]" with `zeroBased`. String values come back without
    /// their quotes and with their escapes as written; an empty path gives the whole
    /// text with the white space around brackets and quotes removed.
    std::string getValue(std::string_view json, std::string_view path, bool zeroBased = false);

private:
    std::string trimQuotes(std::string_view text);
    std::string trimSpaces(std::string_view text);
    std::string compact(std::string_view text);
    jsonscan::LoadedText load(std::string_view text);
    std::vector<std::string> parsePath(std::string_view path);
    std::optional<std::string> findMember(const jsonscan::LoadedText& text, std::string_view name);
    std::optional<std::string> findItem(const jsonscan::LoadedText& text, std::string_view segment,
                                        bool zeroBased);

    RegexObject quoteTrimmer_;
    RegexObject spaceTrimmer_;
    RegexObject openerCompactor_;
    RegexObject closerCompactor_;
};

}  // namespace lianshuo

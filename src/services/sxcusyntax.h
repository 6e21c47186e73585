#pragma once
// The syntax inside the values of a custom-uploader (.sxcu) file, in both of
// its spellings: "{json:data.link}" and "$json:data.link$". Escapes are "\\"
// followed by "\", "$", "{", "}" or "|". A brace or dollar sign that opens no
// known keyword is plain text, so a JSON body's own braces need no escape.

#include <string>
#include <string_view>
#include <vector>

namespace lianshuo::sxcu {

struct Piece {
    bool syntax = false;   // false: `text` is plain text
    std::string text;      // plain text, or the keyword in lower case ("json", "input")
    std::string argument;  // what follows the keyword's ":" ("data.link"), raw
    std::string written;   // the syntax as the file wrote it, for messages
};

/// `value` cut into plain text and syntax, escapes resolved in the plain text.
std::vector<Piece> parseValue(std::string_view value);

/// `text` written so that parseValue reads it back as the same plain text:
/// backslashes, and braces or dollar signs that would open a keyword, escaped.
std::string escapePlain(std::string_view text);

/// `text` in Base64 (the syntax "base64").
std::string base64(std::string_view text);

}  // namespace lianshuo::sxcu

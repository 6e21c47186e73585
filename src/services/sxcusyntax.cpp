#include "services/sxcusyntax.h"

#include <algorithm>
#include <array>

namespace lianshuo::sxcu {
namespace {

constexpr std::string_view kEscapable = "\\${}|";

// Every keyword of the format, whether or not an interface can hold it.
constexpr std::array<std::string_view, 13> kKeywords{
    "input",  "prompt", "response", "responseurl", "json",     "xml",      "regex",
    "header", "base64", "select",   "random",      "filename", "outputurl"};

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool isKeyword(std::string_view inner) {
    const std::string name = lower(inner.substr(0, inner.find(':')));
    return std::find(kKeywords.begin(), kKeywords.end(), name) != kKeywords.end();
}

// The closing brace of the one at `open`, nested braces and escapes skipped; npos when none.
std::size_t closingBrace(std::string_view value, std::size_t open) {
    int depth = 0;
    for (std::size_t i = open; i < value.size(); ++i) {
        if (value[i] == '\\') {
            ++i;
        } else if (value[i] == '{') {
            ++depth;
        } else if (value[i] == '}' && --depth == 0) {
            return i;
        }
    }
    return std::string_view::npos;
}

std::size_t closingDollar(std::string_view value, std::size_t open) {
    for (std::size_t i = open + 1; i < value.size(); ++i) {
        if (value[i] == '\\')
            ++i;
        else if (value[i] == '$')
            return i;
    }
    return std::string_view::npos;
}

// The syntax that starts at `at` ("{" or "$"), and where it ends; nothing when none does.
bool syntaxAt(std::string_view value, std::size_t at, Piece& piece, std::size_t& end) {
    const std::size_t close = value[at] == '{' ? closingBrace(value, at) : closingDollar(value, at);
    if (close == std::string_view::npos) return false;
    const std::string_view inner = value.substr(at + 1, close - at - 1);
    if (!isKeyword(inner)) return false;
    const std::size_t colon = inner.find(':');
    piece.syntax = true;
    piece.text = lower(inner.substr(0, colon));
    piece.argument =
        colon == std::string_view::npos ? std::string() : std::string(inner.substr(colon + 1));
    piece.written = std::string(value.substr(at, close - at + 1));
    end = close + 1;
    return true;
}

}  // namespace

std::vector<Piece> parseValue(std::string_view value) {
    std::vector<Piece> pieces;
    std::string plain;
    auto flush = [&] {
        if (!plain.empty()) pieces.push_back({false, std::move(plain), {}, {}});
        plain.clear();
    };
    for (std::size_t i = 0; i < value.size();) {
        const char c = value[i];
        if (c == '\\' && i + 1 < value.size() &&
            kEscapable.find(value[i + 1]) != std::string_view::npos) {
            plain += value[i + 1];
            i += 2;
            continue;
        }
        Piece piece;
        std::size_t end = 0;
        if ((c == '{' || c == '$') && syntaxAt(value, i, piece, end)) {
            flush();
            pieces.push_back(std::move(piece));
            i = end;
            continue;
        }
        plain += c;
        ++i;
    }
    flush();
    return pieces;
}

std::string escapePlain(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        Piece piece;
        std::size_t end = 0;
        const bool escape = (c == '\\' && i + 1 < text.size() &&
                             kEscapable.find(text[i + 1]) != std::string_view::npos) ||
                            ((c == '{' || c == '$') && syntaxAt(text, i, piece, end));
        if (escape) out += '\\';
        out += c;
    }
    return out;
}

std::string base64(std::string_view text) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, text.size() - i);
        unsigned bits = 0;
        for (std::size_t k = 0; k < 3; ++k)
            bits = bits << 8 | (k < n ? static_cast<unsigned char>(text[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= n ? kDigits[(bits >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

}  // namespace lianshuo::sxcu

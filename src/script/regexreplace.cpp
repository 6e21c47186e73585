// Replacement and wildcard masks. The replacement keeps every byte of the
// subject outside the matches as it was, so texts that are not valid GBK come
// back unchanged wherever nothing matched.

#include <optional>
#include <string>
#include <vector>

#include "base/charset.h"
#include "script/gbkunits.h"
#include "script/regexengine.h"
#include "script/regexobject.h"

namespace lianshuo {
namespace {

using gbkunits::Position;

struct Piece {
    enum class Kind { Literal, Group, Before, After } kind;
    std::string text;       // Literal
    std::size_t group = 0;  // Group; 0 is the whole match
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// "$" references as the scripting component read them: "$nn" when group nn
// exists, else "$n" and a literal digit; anything unknown stays literal.
std::vector<Piece> parseReplacement(std::string_view replacement, std::uint32_t captureCount) {
    std::vector<Piece> pieces;
    auto literal = [&](std::string_view text) {
        if (pieces.empty() || pieces.back().kind != Piece::Kind::Literal)
            pieces.push_back({Piece::Kind::Literal, {}, 0});
        pieces.back().text.append(text);
    };
    std::size_t i = 0;
    while (i < replacement.size()) {
        const std::size_t dollar = replacement.find('$', i);
        if (dollar == std::string_view::npos || dollar + 1 == replacement.size()) {
            literal(replacement.substr(i));
            break;
        }
        literal(replacement.substr(i, dollar - i));
        const char next = replacement[dollar + 1];
        i = dollar + 2;
        if (next == '$') {
            literal("$");
        } else if (next == '&') {
            pieces.push_back({Piece::Kind::Group, {}, 0});
        } else if (next == '`') {
            pieces.push_back({Piece::Kind::Before, {}, 0});
        } else if (next == '\'') {
            pieces.push_back({Piece::Kind::After, {}, 0});
        } else if (isDigit(next)) {
            const std::size_t one = static_cast<std::size_t>(next - '0');
            const bool hasSecond = i < replacement.size() && isDigit(replacement[i]);
            const std::size_t two = hasSecond ? one * 10 + (replacement[i] - '0') : 0;
            if (two >= 1 && two <= captureCount) {
                pieces.push_back({Piece::Kind::Group, {}, two});
                ++i;
            } else if (one >= 1 && one <= captureCount) {
                pieces.push_back({Piece::Kind::Group, {}, one});
            } else {
                literal(replacement.substr(dollar, 2));
            }
        } else {
            literal("$");
            i = dollar + 1;
        }
    }
    return pieces;
}

bool isWildcardEscaped(char c) {
    static constexpr std::string_view kEscaped = "\\^$+.{}[]=()-\"";
    return kEscaped.find(c) != std::string_view::npos;
}

}  // namespace

std::string RegexObject::replace(std::string_view subject, std::string_view replacement) {
    interruption_ = RegexInterruption::None;
    if (!compiled_) return {};
    if (!scratch_) scratch_.reset(new regexdetail::Scratch(*compiled_));
    std::optional<regexdetail::Watch> watch;
    if (bounded_) watch.emplace(RegexBudget::lasting(runTime_, stop_), scratch_->context);
    if (watch && !watch->check()) {
        interruption_ = watch->interruption();
        return {};
    }
    const std::string utf8 = gbkunits::toUtf8Units(subject);
    const std::vector<Piece> pieces = parseReplacement(replacement, compiled_->captureCount);
    std::string out;
    out.reserve(subject.size());
    Position cursor;
    auto slice = [&](Position from, Position to) {
        return subject.substr(from.gbk, to.gbk - from.gbk);
    };
    const bool ok = regexdetail::forEachMatch(
        *compiled_, *scratch_, utf8, global_, [&](const PCRE2_SIZE* ovector) {
            const Position begin = gbkunits::walkTo(subject, cursor, ovector[0]);
            const Position end = gbkunits::walkTo(subject, begin, ovector[1]);
            out.append(slice(cursor, begin));
            for (const Piece& piece : pieces) {
                switch (piece.kind) {
                    case Piece::Kind::Literal:
                        out.append(piece.text);
                        break;
                    case Piece::Kind::Before:
                        out.append(subject.substr(0, begin.gbk));
                        break;
                    case Piece::Kind::After:
                        out.append(subject.substr(end.gbk));
                        break;
                    case Piece::Kind::Group: {
                        const PCRE2_SIZE from = ovector[2 * piece.group];
                        const PCRE2_SIZE to = ovector[2 * piece.group + 1];
                        if (from == PCRE2_UNSET || from > to) break;
                        if (from < ovector[0]) {  // captured by a look-behind
                            out.append(fromUtf8(std::string_view(utf8).substr(from, to - from)));
                            break;
                        }
                        const Position groupBegin = gbkunits::walkTo(subject, begin, from);
                        out.append(slice(groupBegin, gbkunits::walkTo(subject, groupBegin, to)));
                        break;
                    }
                }
            }
            cursor = end;
        });
    if (watch) interruption_ = watch->interruption();
    if (!ok) return {};
    out.append(subject.substr(cursor.gbk));
    return out;
}

std::string RegexObject::wildcardToPattern(std::string_view mask) {
    // One pass over whole characters: a second byte that looks like "[" or "\"
    // belongs to its character and is never escaped. A byte that starts no
    // character is written as the character it reads as, so that it cannot
    // pair up with the backslash of an escape after it.
    std::string pattern;
    pattern.reserve(mask.size() * 2);
    std::size_t pos = 0;
    while (pos < mask.size()) {
        const std::size_t length = gbkunits::decodeUnit(mask, pos).length;
        const char c = mask[pos];
        if (length > 1) {
            pattern.append(mask.substr(pos, length));
        } else if (static_cast<unsigned char>(c) >= 0x80) {
            pattern.append("\\uFFFD");
        } else if (c == '*') {
            pattern.append(".*");
        } else if (c == '?') {
            pattern.append(".?");
        } else {
            if (isWildcardEscaped(c)) pattern.push_back('\\');
            pattern.push_back(c);
        }
        pos += length;
    }
    return pattern;
}

}  // namespace lianshuo

#pragma once
// The scanning side of the JSON reader. A loaded text comes in two copies of
// equal length: the plain text, where values are cut from, and the mask, in
// which every string's contents are blanked so that structure is found only
// outside strings. All scanning is byte-wise; positions are 0-based and -1
// means "none".
//
// The listing rules search "the next X after p" again and again and count
// brackets between two places; done literally that rescans the text per
// member. The finders below remember their last answer and the balance count
// only extends its range, so a listing reads the mask a bounded number of times
// while giving the same answers.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lianshuo::jsonscan {

using Pos = std::ptrdiff_t;

struct LoadedText {
    std::string plain;
    std::string mask;
};

/// `text` with every `from` replaced by `to`, byte-wise, left to right.
std::string replaceBytes(std::string_view text, std::string_view from, std::string_view to);

/// `plain` with the bytes between each opening double quote and its closing one blanked.
std::string maskStrings(std::string_view plain);

/// First position after a given one holding a byte; answers in amortised
/// constant time while the positions asked about do not decrease.
class NextFinder {
public:
    NextFinder(std::string_view text, char byte) : text_(text), byte_(byte) {}
    /// The first position > `from` holding the byte, or -1.
    Pos after(Pos from);

private:
    std::string_view text_;
    char byte_;
    Pos lastAfter_ = -2;  // nothing asked yet
    Pos lastFound_ = -1;
};

/// Whether the mask between `from` and a later position (both exclusive) holds
/// as many "{" as "}", as many "[" as "]" and an even number of quotes.
class BalanceCounter {
public:
    BalanceCounter(std::string_view mask, Pos from) : mask_(mask), from_(from), next_(from + 1) {}
    bool balancedBefore(Pos to);

private:
    std::string_view mask_;
    Pos from_;
    Pos next_;  // first position not counted yet
    long braces_ = 0;
    long brackets_ = 0;
    bool oddQuotes_ = false;
};

/// A byte range [begin, end) of the plain text.
struct Span {
    Pos begin = 0;
    Pos end = 0;
    std::string_view of(std::string_view plain) const {
        return plain.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
    }
};

struct Member {
    Span name;   // raw: the quote trimmer has not run
    Span value;  // raw: the space trimmer has not run
};

/// One finder per structural byte of a mask.
struct StructureFinders {
    explicit StructureFinders(std::string_view mask)
        : openBrace(mask, '{'),
          closeBrace(mask, '}'),
          openBracket(mask, '['),
          closeBracket(mask, ']'),
          comma(mask, ','),
          colon(mask, ':') {}
    NextFinder openBrace, closeBrace, openBracket, closeBracket, comma, colon;
};

/// Lists the members of the object starting at the first "{" of the mask, one per call.
class MemberScanner {
public:
    explicit MemberScanner(const LoadedText& text)
        : mask_(text.mask), find_(mask_), c_(find_.openBrace.after(-1)) {}
    /// The next member; nothing once a member cannot be completed or none is left.
    std::optional<Member> next();

private:
    std::string_view mask_;
    StructureFinders find_;
    Pos c_;  // where the next member's name starts; -1 when the listing has ended
};

/// Lists the items of the array starting at the first "[" of the mask, one per call.
class ItemScanner {
public:
    explicit ItemScanner(const LoadedText& text)
        : mask_(text.mask), find_(mask_), p_(find_.openBracket.after(-1)) {}
    /// The next item (raw span); nothing when none is left.
    std::optional<Span> next();

private:
    std::string_view mask_;
    StructureFinders find_;
    Pos p_;  // where the next item starts; -1 when the listing has ended
};

}  // namespace lianshuo::jsonscan

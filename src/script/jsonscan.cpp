#include "script/jsonscan.h"

#include <algorithm>

namespace lianshuo::jsonscan {

std::string replaceBytes(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    for (std::size_t hit = text.find(from); hit != std::string_view::npos;
         hit = text.find(from, pos)) {
        out.append(text.substr(pos, hit - pos)).append(to);
        pos = hit + from.size();
    }
    out.append(text.substr(pos));
    return out;
}

std::string maskStrings(std::string_view plain) {
    std::string mask(plain);
    std::size_t open = std::string::npos;
    for (std::size_t i = 0; i < mask.size(); ++i) {
        if (mask[i] != '"') continue;
        if (open == std::string::npos) {
            open = i;
        } else {
            std::fill(mask.begin() + static_cast<Pos>(open) + 1, mask.begin() + static_cast<Pos>(i),
                      ' ');
            open = std::string::npos;
        }
    }
    return mask;
}

Pos NextFinder::after(Pos from) {
    // Nothing lies strictly between the last question and its answer, so a
    // later question that falls short of that answer has the same one.
    if (lastAfter_ != -2 && from >= lastAfter_ && (lastFound_ == -1 || lastFound_ > from))
        return lastFound_;
    const std::size_t start = static_cast<std::size_t>(from + 1);
    const std::size_t hit =
        start >= text_.size() ? std::string_view::npos : text_.find(byte_, start);
    lastAfter_ = from;
    lastFound_ = hit == std::string_view::npos ? -1 : static_cast<Pos>(hit);
    return lastFound_;
}

bool BalanceCounter::balancedBefore(Pos to) {
    if (to < next_) {  // asked about a shorter range: count afresh
        next_ = from_ + 1;
        braces_ = brackets_ = 0;
        oddQuotes_ = false;
    }
    const Pos stop = std::min<Pos>(to, static_cast<Pos>(mask_.size()));
    for (; next_ < stop; ++next_) {
        switch (mask_[static_cast<std::size_t>(next_)]) {
            case '{':
                ++braces_;
                break;
            case '}':
                --braces_;
                break;
            case '[':
                ++brackets_;
                break;
            case ']':
                --brackets_;
                break;
            case '"':
                oddQuotes_ = !oddQuotes_;
                break;
            default:
                break;
        }
    }
    return braces_ == 0 && brackets_ == 0 && !oddQuotes_;
}

std::optional<Member> MemberScanner::next() {
    if (c_ == -1) return std::nullopt;
    Pos c = c_;
    c_ = -1;  // until a member completes

    const Pos length = static_cast<Pos>(mask_.size());
    if (c >= length ||
        (mask_[static_cast<std::size_t>(c)] != '{' && mask_[static_cast<std::size_t>(c)] != ',')) {
        if (const Pos brace = find_.openBrace.after(c); brace != -1) c = brace;
    }
    const Pos k = find_.colon.after(c);
    if (k == -1) return std::nullopt;

    // The value ends at the first "," or "}" after which the brackets balance;
    // a bracket or brace opened before that end is skipped to its first closer.
    BalanceCounter balance(mask_, k);
    Pos p = k;
    Pos q = -1;
    for (;;) {
        const Pos bracket = find_.openBracket.after(p);
        const Pos brace = find_.openBrace.after(p);
        const Pos comma = find_.comma.after(p);
        const Pos close = find_.closeBrace.after(p);
        const Pos e = comma != -1 && (close == -1 || comma < close) ? comma
                      : close != -1                                 ? close
                                                                    : length;
        p = e;
        if (bracket != -1 && bracket < e) {
            p = find_.closeBracket.after(bracket);
        } else if (brace != -1 && brace < e) {
            p = find_.closeBrace.after(brace);
        } else {
            if (e <= q) return std::nullopt;  // no progress: the text ends unbalanced
            q = e;
        }
        if (p == -1) return std::nullopt;
        if (balance.balancedBefore(p)) break;
    }
    c_ = p;
    return Member{{c + 1, k}, {k + 1, p}};
}

std::optional<Span> ItemScanner::next() {
    if (p_ == -1) return std::nullopt;
    const Pos s = p_;
    BalanceCounter balance(mask_, s);
    do {
        const Pos comma = find_.comma.after(p_);
        p_ = comma != -1 ? comma : find_.closeBracket.after(p_);
    } while (p_ != -1 && !balance.balancedBefore(p_));
    if (p_ == -1) return std::nullopt;
    return Span{s + 1, p_};
}

}  // namespace lianshuo::jsonscan

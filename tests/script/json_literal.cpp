#include "json_literal.h"

#include <gtest/gtest.h>

namespace lianshuo::reference {
namespace {

// First 1-based position after `after` holding `c`, or -1.
long find(std::string_view text, char c, long after) {
    if (after < 0 || static_cast<std::size_t>(after) >= text.size()) return -1;
    const std::size_t hit = text.find(c, static_cast<std::size_t>(after));
    return hit == std::string_view::npos ? -1 : static_cast<long>(hit) + 1;
}

// Text strictly between 1-based positions a and b.
std::string between(std::string_view text, long a, long b) {
    return std::string(
        text.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a - 1)));
}

std::string replaceEvery(std::string text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string stored(std::string_view pattern) {
    return replaceEvery(std::string(pattern), "''", "\"");
}

}  // namespace

LiteralJsonReader::LiteralJsonReader() {
    EXPECT_TRUE(quoteTrimmer_.create(stored("[\\s　]+''|''[\\s　]+|^[ 　''\\t]+|[ 　''\\t]+$")));
    EXPECT_TRUE(spaceTrimmer_.create(stored("^[ 　\\t]+|[ 　\\t]+$")));
    EXPECT_TRUE(openerCompactor_.create(stored("[\\s　]+(\\[|{|'')")));
    EXPECT_TRUE(closerCompactor_.create(stored("(\\]|}|'')[\\s　]+")));
}

void LiteralJsonReader::load(std::string_view text) {
    std::string t = replaceEvery(std::string(text), "\\\\", "\\|\\|");
    t = replaceEvery(t, "\\\"", "#SYH#");
    t = replaceEvery(t, "\\|\\|", "\\\\");
    t = closerCompactor_.replace(openerCompactor_.replace(t, "$1"), "$1");
    plain_ = mask_ = t;
    long count = 0, previous = 0;
    for (long i = 1; i <= static_cast<long>(mask_.size()); ++i) {
        if (mask_[i - 1] != '"') continue;
        if (++count % 2 == 0)
            for (long j = previous + 1; j < i; ++j) mask_[j - 1] = ' ';
        previous = i;
    }
}

bool LiteralJsonReader::balanced(long a, long b) const {
    if (a == -1 || b == -1) return false;
    long braces = 0, brackets = 0, quotes = 0;
    for (long i = a + 1; i < b && i <= static_cast<long>(mask_.size()); ++i) {
        const char c = mask_[i - 1];
        braces += c == '{' ? 1 : c == '}' ? -1 : 0;
        brackets += c == '[' ? 1 : c == ']' ? -1 : 0;
        quotes += c == '"';
    }
    return braces == 0 && brackets == 0 && quotes % 2 == 0;
}

LiteralJsonReader::Members LiteralJsonReader::listMembers() {
    Members members;
    const long length = static_cast<long>(mask_.size());
    long c = find(mask_, '{', 0);
    while (c != -1) {
        if (c > length || (mask_[c - 1] != '{' && mask_[c - 1] != ',')) {
            const long next = find(mask_, '{', c);
            if (next != -1) c = next;
        }
        const long k = find(mask_, ':', c);
        if (k == -1) break;
        const std::string name = quoteTrimmer_.replace(between(plain_, c, k), "");
        long p = k, q = 0;
        bool failed = false;
        for (;;) {
            const long ob = find(mask_, '[', p), oc = find(mask_, '{', p);
            const long cm = find(mask_, ',', p), cl = find(mask_, '}', p);
            const long e = cm != -1 && (cl == -1 || cm < cl) ? cm : cl != -1 ? cl : length + 1;
            p = e;
            if (ob != -1 && ob < e) {
                p = find(mask_, ']', ob);
            } else if (oc != -1 && oc < e) {
                p = find(mask_, '}', oc);
            } else if (e == q || e < q || e == -1) {
                failed = true;
            } else {
                q = e;
            }
            if (failed || p == -1) break;
            if (balanced(k, p)) break;
        }
        if (failed || p == -1) break;
        members.emplace_back(name, spaceTrimmer_.replace(between(plain_, k, p), ""));
        c = p;
    }
    return members;
}

std::vector<std::string> LiteralJsonReader::listItems() {
    std::vector<std::string> items;
    long p = find(mask_, '[', 0);
    while (p != -1) {
        const long s = p;
        do {
            const long comma = find(mask_, ',', p);
            p = comma != -1 ? comma : find(mask_, ']', p);
        } while (!(balanced(s, p) || p == -1));
        if (p == -1) break;
        items.push_back(spaceTrimmer_.replace(between(plain_, s, p), ""));
    }
    if (items.size() == 1 && items[0].empty()) items.clear();
    return items;
}

void LiteralJsonReader::descendInto(const std::string& value) {
    ++depth_;
    if (value.empty()) return;
    if (value[0] == '{') {
        load(value);
        descendMembers(listMembers());
    } else if (value[0] == '[') {
        load(value);
        descendItems(listItems());
    }
}

void LiteralJsonReader::descendMembers(const Members& members) {
    for (const auto& [name, value] : members) {
        if (segments_[depth_ - 1] != name) continue;
        if (depth_ == segments_.size()) {
            result_ = value;
        } else {
            descendInto(value);
        }
        return;
    }
}

void LiteralJsonReader::descendItems(const std::vector<std::string>& items) {
    for (std::size_t i = 1; i <= items.size(); ++i) {
        const std::size_t n = zeroBased_ ? i - 1 : i;
        if (segments_[depth_ - 1] != "[" + std::to_string(n) + "]") continue;
        if (depth_ == segments_.size()) {
            result_ = items[i - 1];
        } else {
            descendInto(items[i - 1]);
        }
        return;
    }
}

std::string LiteralJsonReader::getValue(std::string_view json, std::string_view rawPath,
                                        bool zeroBased) {
    segments_.clear();
    const std::string path = replaceEvery(std::string(rawPath), "''", "\"");
    const long length = static_cast<long>(path.size());
    long s = 0, d = 0;
    for (bool last = false; !last && !rawPath.empty();) {
        d = find(path, '.', d);
        if (d == -1) {
            d = length + 1;
            last = true;
        }
        int count = 0;
        const long first = find(path, '"', s);
        if (first != -1 && first < d) {
            count = 1;
            const long second = find(path, '"', first);
            if (second != -1 && second < d) count = 2;
        }
        if (count == 1) continue;
        segments_.push_back(quoteTrimmer_.replace(between(path, s, d), ""));
        s = d;
    }
    if (segments_.empty())
        return closerCompactor_.replace(openerCompactor_.replace(json, "$1"), "$1");

    zeroBased_ = zeroBased;
    depth_ = 1;
    result_.clear();
    load(json);
    const long brace = find(mask_, '{', 0), bracket = find(mask_, '[', 0);
    if (bracket != -1 && (brace == -1 || bracket < brace)) {
        descendItems(listItems());
    } else if (brace != -1) {
        descendMembers(listMembers());
    }
    return replaceEvery(quoteTrimmer_.replace(result_, ""), "#SYH#", "\\\"");
}

}  // namespace lianshuo::reference

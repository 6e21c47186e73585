#pragma once
// The JSON reader's rules transcribed step by step: 1-based positions, every
// search and count from scratch, every list built in full. Far too slow for
// real replies, it is the yardstick the fast reader must agree with.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "script/regexobject.h"

namespace lianshuo::reference {

class LiteralJsonReader {
public:
    LiteralJsonReader();
    std::string getValue(std::string_view json, std::string_view path, bool zeroBased);

private:
    using Members = std::vector<std::pair<std::string, std::string>>;
    void load(std::string_view text);
    bool balanced(long a, long b) const;
    Members listMembers();
    std::vector<std::string> listItems();
    void descendMembers(const Members& members);
    void descendItems(const std::vector<std::string>& items);
    void descendInto(const std::string& value);

    RegexObject quoteTrimmer_, spaceTrimmer_, openerCompactor_, closerCompactor_;
    std::string plain_, mask_;
    std::vector<std::string> segments_;
    std::size_t depth_ = 1;
    std::string result_;
    bool zeroBased_ = false;
};

}  // namespace lianshuo::reference

#include "services/addedquery.h"

#include <algorithm>
#include <vector>

#include "base/gbk.h"

namespace lianshuo {
namespace {

std::string_view nameOf(std::string_view pair) {
    return pair.substr(0, pair.find('='));
}

std::vector<std::string_view> pairsOf(std::string_view query) {
    std::vector<std::string_view> pairs;
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        if (!pair.empty()) pairs.push_back(pair);
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
    }
    return pairs;
}

}  // namespace

std::string withAddedQuery(std::string_view line, std::string_view parameters) {
    if (parameters.empty()) return std::string(line);
    const std::size_t tab = line.find('\t');
    const std::string_view rest = tab == std::string_view::npos ? "" : line.substr(tab);
    const std::string_view address = line.substr(0, tab);
    const std::size_t hash = address.find('#');
    const std::string_view fragment = hash == std::string_view::npos ? "" : address.substr(hash);
    const std::string_view before = address.substr(0, hash);
    const std::size_t question = before.find('?');
    const std::vector<std::string_view> present =
        pairsOf(question == std::string_view::npos ? "" : before.substr(question + 1));

    std::vector<std::string_view> names;
    for (const std::string_view pair : present) names.push_back(nameOf(pair));
    std::string added;
    for (const std::string_view pair : pairsOf(parameters)) {
        if (std::find(names.begin(), names.end(), nameOf(pair)) != names.end()) continue;
        names.push_back(nameOf(pair));
        if (!added.empty()) added += '&';
        added += pair;
    }
    if (added.empty()) return std::string(line);
    std::string out(before);
    if (question == std::string_view::npos)
        out += '?';
    else if (!out.ends_with('?') && !out.ends_with('&'))
        out += '&';
    out += added;
    out += fragment;
    out += rest;
    return out;
}

Status checkAddedQuery(std::string_view parameters) {
    for (const char c : parameters) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F || c == '#' || c == '?')
            return Status::failed("追加参数“" + std::string(parameters) +
                                  "”应为 名称=值 的参数，以 & 分隔，不含空白、# 或 ?");
    }
    for (const std::string_view pair : pairsOf(parameters))
        if (nameOf(pair).empty())
            return Status::failed("追加参数“" + std::string(parameters) + "”中有参数没有名称");
    return {};
}

}  // namespace lianshuo

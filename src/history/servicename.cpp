#include "history/servicename.h"

namespace lianshuo {

std::string historyServiceName(std::string_view key) {
    // The key's host only tells the versions of a service apart, which a reader never needs.
    static constexpr std::pair<std::string_view, std::string_view> kBuiltin[] = {
        {"baidu", "百度"}, {"weibo", "新浪"}, {"tinyurl", "TinyURL"}};
    const std::string_view group = key.substr(0, key.find(':'));
    for (const auto& [name, shown] : kBuiltin)
        if (group == name) return std::string(shown);
    constexpr std::string_view kCustom = "custom:";
    if (key.substr(0, kCustom.size()) == kCustom && key.size() > kCustom.size())
        return std::string(key.substr(kCustom.size()));
    return std::string(key);
}

}  // namespace lianshuo

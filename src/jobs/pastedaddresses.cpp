#include "jobs/pastedaddresses.h"

#include "base/gbk.h"

namespace lianshuo {

std::vector<std::string> pastedAddresses(std::string_view text) {
    std::vector<std::string> addresses;
    for (std::string line : splitText(text, "\n")) {
        if (std::optional<std::string> address = pastedAddress(std::move(line)))
            addresses.push_back(std::move(*address));
    }
    return addresses;
}

std::optional<std::string> pastedAddress(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    line = trimSpaces(line, true);
    if (line.empty()) return std::nullopt;
    if (!containsText(line, "://")) line.insert(0, "http://");
    return line;
}

}  // namespace lianshuo

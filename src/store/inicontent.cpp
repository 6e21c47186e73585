#include "store/inicontent.h"

#include "app/base/messages.h"

namespace lianshuo::ini {
namespace {

constexpr std::string_view kCrLf = "\r\n";

// True when a section header starts after `from` and before `before`.
bool headerBetween(std::string_view content, std::size_t from, std::size_t before) {
    return nextHeader(content, from) < before;
}

// Position of the CR LF that starts the line "key=" of the section whose
// header ends at `headerEnd`, or npos.
std::size_t findKey(std::string_view content, std::size_t headerEnd, std::string_view key) {
    const std::string needle = std::string(kCrLf) + std::string(key) + "=";
    const std::size_t pos = content.find(needle, headerEnd);
    if (pos == std::string_view::npos || headerBetween(content, headerEnd, pos))
        return std::string_view::npos;
    return pos;
}

std::size_t lineEnd(std::string_view content, std::size_t from) {
    const std::size_t end = content.find(kCrLf, from);
    return end == std::string_view::npos ? content.size() : end;
}

}  // namespace

std::optional<std::size_t> findSection(std::string_view content, std::string_view section,
                                       std::size_t from) {
    const std::string header = "[" + std::string(section) + "]";
    for (std::size_t pos = content.find(header, from); pos != std::string_view::npos;
         pos = content.find(header, pos + 1)) {
        if (pos == 0 || (pos >= 2 && content.substr(pos - 2, 2) == kCrLf))
            return pos + header.size() - 1;
    }
    return std::nullopt;
}

std::size_t nextHeader(std::string_view content, std::size_t from) {
    // A header is a line that starts with "[" and whose "]" is followed by CR LF.
    for (std::size_t pos = content.find("\r\n[", from); pos != std::string_view::npos;
         pos = content.find("\r\n[", pos + 2)) {
        const std::size_t end = content.find(kCrLf, pos + 2);
        if (end != std::string_view::npos && end > pos + 2 && content[end - 1] == ']')
            return pos + 2;
    }
    return content.size();
}

std::optional<std::string> readRaw(std::string_view content, std::string_view section,
                                   std::string_view key) {
    const auto headerEnd = findSection(content, section);
    if (!headerEnd) return std::nullopt;
    const std::size_t line = findKey(content, *headerEnd, key);
    if (line == std::string_view::npos) return std::nullopt;
    const std::size_t valueStart = line + kCrLf.size() + key.size() + 1;
    return std::string(content.substr(valueStart, lineEnd(content, valueStart) - valueStart));
}

WriteResult writeRaw(std::string& content, std::string_view section, std::string_view key,
                     std::string_view value) {
    std::size_t searchFrom = 0;
    bool keyInserted = false;
    for (int attempts = 0;;) {
        const auto headerEnd = findSection(content, section, searchFrom);
        if (!headerEnd) {
            const std::size_t oldEnd = content.size();
            if (!content.empty()) content.append(kCrLf);
            content.append("[").append(section).append("]");
            if (++attempts >= 11) return WriteResult::SectionNotFound;
            searchFrom = oldEnd;
            continue;
        }
        const std::size_t line = findKey(content, *headerEnd, key);
        if (line == std::string_view::npos) {
            // A key that cannot be found right after inserting it (it holds a
            // line break and a header of its own) would loop forever.
            if (keyInserted) return WriteResult::KeyNotWritable;
            content.insert(*headerEnd + 1, std::string(kCrLf) + std::string(key) + "=");
            keyInserted = true;
            continue;
        }
        const std::size_t valueStart = line + kCrLf.size() + key.size() + 1;
        content.replace(valueStart, lineEnd(content, valueStart) - valueStart, value);
        return WriteResult::Written;
    }
}

int deleteRaw(std::string& content, std::string_view section, std::string_view key) {
    const auto headerEnd = findSection(content, section);
    if (!headerEnd) return 1;
    if (key.empty()) {
        const std::size_t next = nextHeader(content, *headerEnd);
        const std::size_t start = *headerEnd + 1 - (section.size() + 2);
        // The section ends with the byte before the next header: its line break goes too.
        content.erase(start, next - start);
        return 0;
    }
    const std::size_t line = findKey(content, *headerEnd, key);
    if (line == std::string_view::npos) return 2;
    content.erase(line, lineEnd(content, line + kCrLf.size()) - line);
    return 0;
}

std::vector<std::string> listSections(std::string_view content, std::string_view include,
                                      std::string_view exclude) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? content.size() : end + 1;
        if (end == std::string_view::npos) end = content.size();
        if (end > start && content[end - 1] == '\r') --end;
        const std::string_view line = content.substr(start, end - start);
        start = next;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']' &&
            (include.empty() || line.find(include) != std::string_view::npos) &&
            (exclude.empty() || line.find(exclude) == std::string_view::npos)) {
            const std::size_t close = line.find(']', 1);
            names.emplace_back(line.substr(1, close - 1));
        }
        processPendingMessages();
    }
    return names;
}

}  // namespace lianshuo::ini

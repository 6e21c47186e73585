#include "store/inicontent.h"

namespace lianshuo::ini {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::size_t npos = std::string_view::npos;

// Files edited by hand often end their lines with a bare LF: every search
// takes LF as the line end, with or without the CR before it.

// Where the line break whose LF is at `lf` starts: its CR, or the LF itself.
std::size_t breakStart(std::string_view content, std::size_t lf) {
    return lf > 0 && content[lf - 1] == '\r' ? lf - 1 : lf;
}

// End of the line that runs through `from`: where its line break starts, or the content's end.
std::size_t lineEnd(std::string_view content, std::size_t from) {
    const std::size_t lf = content.find('\n', from);
    if (lf == npos) return content.size();
    const std::size_t end = breakStart(content, lf);
    return end < from ? from : end;
}

// True when a section header starts after `from` and before `before`.
bool headerBetween(std::string_view content, std::size_t from, std::size_t before) {
    return nextHeader(content, from) < before;
}

// Position of the LF before the line "key=" of the section whose header ends
// at `headerEnd`, or npos.
std::size_t findKey(std::string_view content, std::size_t headerEnd, std::string_view key) {
    // Such a key would match a header line or a part of another key's line.
    if (!isStorableName({}, key)) return npos;
    const std::string needle = "\n" + std::string(key) + "=";
    const std::size_t lf = content.find(needle, headerEnd);
    if (lf == npos || headerBetween(content, headerEnd, lf)) return npos;
    return lf;
}

}  // namespace

bool isStorableName(std::string_view section, std::string_view key) {
    // A line break would start a line of its own, "]" would end the header
    // early, "=" would end the key early, and a key starting with "[" could
    // turn its line into a header.
    return section.find_first_of("\r\n]") == npos && key.find_first_of("\r\n=") == npos &&
           (key.empty() || key.front() != '[');
}

std::optional<std::size_t> findSection(std::string_view content, std::string_view section,
                                       std::size_t from) {
    // A header is a whole line: "[name]text" is not one, as the boundary test
    // agrees, so that no key is found in a section whose end the test cannot see.
    const std::string header = "[" + std::string(section) + "]";
    for (std::size_t pos = content.find(header, from); pos != npos;
         pos = content.find(header, pos + 1)) {
        if ((pos == 0 || content[pos - 1] == '\n') &&
            lineEnd(content, pos + header.size()) == pos + header.size())
            return pos + header.size() - 1;
    }
    return std::nullopt;
}

std::size_t nextHeader(std::string_view content, std::size_t from) {
    // A header is a line that starts with "[" and ends with "]".
    for (std::size_t pos = content.find("\n[", from); pos != npos;
         pos = content.find("\n[", pos + 1)) {
        const std::size_t end = lineEnd(content, pos + 1);
        if (end > pos + 2 && content[end - 1] == ']') return pos + 1;
    }
    return content.size();
}

bool holdsValue(std::string_view content, std::string_view key) {
    const std::string line = std::string(key) + "=";
    for (std::size_t pos = content.find(line); pos != npos; pos = content.find(line, pos + 1)) {
        const std::size_t value = pos + line.size();
        if ((pos == 0 || content[pos - 1] == '\n') && lineEnd(content, value) > value) return true;
    }
    return false;
}

std::optional<std::string> readRaw(std::string_view content, std::string_view section,
                                   std::string_view key) {
    const auto headerEnd = findSection(content, section);
    if (!headerEnd) return std::nullopt;
    const std::size_t lf = findKey(content, *headerEnd, key);
    if (lf == npos) return std::nullopt;
    const std::size_t valueStart = lf + 1 + key.size() + 1;
    return std::string(content.substr(valueStart, lineEnd(content, valueStart) - valueStart));
}

WriteResult writeRaw(std::string& content, std::string_view section, std::string_view key,
                     std::string_view value) {
    if (!isStorableName(section, key) || value.find_first_of("\r\n") != npos)
        return WriteResult::KeyNotWritable;
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
        const std::size_t lf = findKey(content, *headerEnd, key);
        if (lf == npos) {
            // A key that cannot be found right after inserting it would loop forever.
            if (keyInserted) return WriteResult::KeyNotWritable;
            content.insert(*headerEnd + 1, std::string(kCrLf) + std::string(key) + "=");
            keyInserted = true;
            continue;
        }
        const std::size_t valueStart = lf + 1 + key.size() + 1;
        content.replace(valueStart, lineEnd(content, valueStart) - valueStart, value);
        return WriteResult::Written;
    }
}

int deleteRaw(std::string& content, std::string_view section, std::string_view key) {
    if (!isStorableName(section, key)) return 1;
    const auto headerEnd = findSection(content, section);
    if (!headerEnd) return 1;
    if (key.empty()) {
        const std::size_t next = nextHeader(content, *headerEnd);
        const std::size_t start = *headerEnd + 1 - (section.size() + 2);
        // The section ends with the byte before the next header: its line break goes too.
        content.erase(start, next - start);
        return 0;
    }
    const std::size_t lf = findKey(content, *headerEnd, key);
    if (lf == npos) return 2;
    const std::size_t start = breakStart(content, lf);
    content.erase(start, lineEnd(content, lf + 1) - start);
    return 0;
}

std::vector<std::string> listSections(std::string_view content, std::string_view include,
                                      std::string_view exclude) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        const std::size_t next = end == npos ? content.size() : end + 1;
        if (end == npos) end = content.size();
        if (end > start && content[end - 1] == '\r') --end;
        const std::string_view line = content.substr(start, end - start);
        start = next;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']' &&
            (include.empty() || line.find(include) != npos) &&
            (exclude.empty() || line.find(exclude) == npos)) {
            const std::size_t close = line.find(']', 1);
            names.emplace_back(line.substr(1, close - 1));
        }
    }
    return names;
}

}  // namespace lianshuo::ini

#include "script/folderlisting.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/charset.h"
#include "base/gbk.h"
#include "base/paths.h"

namespace lianshuo {
namespace {

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameCharacter(std::string_view name, std::size_t n, std::string_view mask, std::size_t m,
                   std::size_t length) {
    if (length == 1) return lowerAscii(name[n]) == lowerAscii(mask[m]);
    return name.substr(n, length) == mask.substr(m, length);
}

// Classic wildcard matching over whole characters, resuming after the last
// "*" on a mismatch: linear in practice, never exponential.
bool wildcardMatch(std::string_view name, std::string_view mask) {
    std::size_t n = 0, m = 0;
    std::size_t starMask = npos, starName = 0;
    while (n < name.size()) {
        const std::size_t nameLength = charLength(name, n);
        if (m < mask.size() && mask[m] == '*') {
            starMask = ++m;
            starName = n;
            continue;
        }
        if (m < mask.size()) {
            const std::size_t maskLength = charLength(mask, m);
            if (mask[m] == '?' ||
                (maskLength == nameLength && sameCharacter(name, n, mask, m, nameLength))) {
                n += nameLength;
                m += maskLength;
                continue;
            }
        }
        if (starMask == npos) return false;
        starName += charLength(name, starName);
        n = starName;
        m = starMask;
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

}  // namespace

Result<std::vector<FolderEntry>> listFolderEntries(const std::filesystem::path& folder,
                                                   bool wantFolders) {
    std::vector<FolderEntry> entries;
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    for (const std::filesystem::directory_iterator end; !error && it != end; it.increment(error)) {
        std::error_code entryError;
        // Only regular files count as files: reading a pipe or a device would block.
        const bool wanted =
            wantFolders ? it->is_directory(entryError) : it->is_regular_file(entryError);
        if (wanted && !entryError) {
            const std::string bytes = it->path().filename().string();
            entries.push_back({it->path(), isValidUtf8(bytes) ? fromUtf8(bytes) : bytes});
        }
    }
    if (error) return Failure{error.value(), fromUtf8(error.message())};
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return entries;
}

std::vector<std::string> listFolderItems(std::string_view folderGbk, bool wantFolders) {
    std::vector<std::string> names;
    Result<std::vector<FolderEntry>> entries =
        listFolderEntries(nativePath(folderGbk), wantFolders);
    if (!entries) return names;  // what a script asks of a missing folder: nothing in it
    for (FolderEntry& entry : *entries) names.push_back(std::move(entry.name));
    return names;
}

bool matchesFileMask(std::string_view name, std::string_view mask) {
    // The platform's search lets a final ".*" also match a name without any dot.
    if (mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*" &&
        wildcardMatch(name, mask.substr(0, mask.size() - 2)))
        return true;
    return wildcardMatch(name, mask);
}

}  // namespace lianshuo

#include "jobs/filelisting.h"

#include "base/gbk.h"
#include "base/paths.h"
#include "script/folderlisting.h"
#include "script/regexobject.h"

namespace lianshuo {
namespace {

std::string withSlash(std::string_view folder) {
    std::string out(folder);
    if (out.empty() || out.back() != '/') out += '/';
    return out;
}

bool isExtensionPattern(std::string_view pattern) {
    return pattern.size() > 2 && pattern.substr(0, 2) == "*." &&
           pattern.find('*', 1) == std::string_view::npos && pattern != "*.htm";
}

}  // namespace

Result<std::vector<FolderEntry>> listFilesByPattern(std::string_view folderText,
                                                    std::string_view patternText) {
    const std::string folder = withSlash(folderText);
    const std::string pattern = patternText.empty() ? std::string("*") : std::string(patternText);
    const bool everyFile = pattern == "*" || pattern == "*.*";
    const bool byExtension = !everyFile && isExtensionPattern(pattern);
    const std::string extension = toLowerAscii(std::string_view(pattern).substr(1));
    RegexObject mask;
    if (!everyFile && !byExtension)
        if (Status compiled =
                mask.create(RegexObject::wildcardToPattern(pattern), true, true, false);
            !compiled)
            return compiled;

    Result<std::vector<FolderEntry>> entries = listFolderEntries(nativePath(folder), false);
    if (!entries) return entries;
    std::vector<FolderEntry> files;
    for (FolderEntry& entry : *entries) {
        const std::string& name = entry.name;
        bool match = everyFile;
        if (byExtension)
            match = name.size() >= extension.size() &&
                    toLowerAscii(name.substr(name.size() - extension.size())) == extension;
        else if (!everyFile)
            match = mask.execute(name) > 0;
        if (match) files.push_back(std::move(entry));
    }
    return files;
}

Result<std::vector<FolderEntry>> listFilesBySearch(std::string_view folderText,
                                                   std::string_view patternText) {
    const std::string folder = withSlash(folderText);
    const std::string pattern = patternText.empty() ? std::string("*.*") : std::string(patternText);
    const Result<std::vector<FolderEntry>> entries = listFolderEntries(nativePath(folder), false);
    if (!entries) return entries;
    std::vector<FolderEntry> files;
    for (const std::string& part : splitText(pattern, "|"))
        for (const FolderEntry& entry : *entries)
            if (matchesFileMask(entry.name, part)) files.push_back(entry);
    return files;
}

}  // namespace lianshuo

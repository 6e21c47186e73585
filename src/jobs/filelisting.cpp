#include "jobs/filelisting.h"

#include "app/base/gbk.h"
#include "app/base/messages.h"
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

std::vector<std::string> listFilesByPattern(std::string_view folderText, std::string_view patternText) {
    const std::string folder = withSlash(folderText);
    const std::string pattern = patternText.empty() ? std::string("*") : std::string(patternText);
    const bool everyFile = pattern == "*" || pattern == "*.*";
    const bool byExtension = !everyFile && isExtensionPattern(pattern);
    const std::string extension = toLowerAscii(std::string_view(pattern).substr(1));
    RegexObject mask;
    if (!everyFile && !byExtension) mask.create(RegexObject::wildcardToPattern(pattern), true, true, false);

    std::vector<std::string> files;
    for (const std::string& name : listFolderItems(folder, false)) {
        bool match = everyFile;
        if (byExtension)
            match = name.size() >= extension.size() &&
                    toLowerAscii(name.substr(name.size() - extension.size())) == extension;
        else if (!everyFile)
            match = mask.execute(name) > 0;
        if (match) files.push_back(folder + name);
        processPendingMessages();
    }
    return files;
}

std::vector<std::string> listFilesBySearch(std::string_view folderText, std::string_view patternText) {
    const std::string folder = withSlash(folderText);
    const std::string pattern = patternText.empty() ? std::string("*.*") : std::string(patternText);
    const std::vector<std::string> names = listFolderItems(folder, false);
    std::vector<std::string> files;
    for (const std::string& part : splitText(pattern, "|")) {
        for (const std::string& name : names) {
            if (!matchesFileMask(name, part)) continue;
            files.push_back(folder + name);
            processPendingMessages();
        }
    }
    return files;
}

}  // namespace lianshuo

#include "jobs/fileconverter.h"

#include <chrono>
#include <filesystem>
#include <random>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "app/base/charset.h"
#include "app/base/gbk.h"
#include "app/base/helpers.h"
#include "app/base/messages.h"
#include "app/base/paths.h"
#include "jobs/addressscanner.h"
#include "jobs/fileio.h"
#include "jobs/filelisting.h"
#include "jobs/interval.h"
#include "script/regexobject.h"
#include "services/shorturlconverter.h"

namespace lianshuo {
namespace {

std::string fileName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// One address found in a file: as GBK text, and as the file's own bytes.
struct FoundUrl {
    std::string text;
    std::string bytes;
};

// Lookups by the bytes the scanner hands out, without copying them into a key.
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
        return std::hash<std::string_view>{}(text);
    }
};
template <typename Value>
using TextMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;

}  // namespace

struct FileConverterEngine::Run {
    FileConverterSettings settings;
    std::filesystem::path outputFolder;
    RegexObject white, black;
    // Per run, not per file: a site repeats its addresses across pages.
    TextMap<bool> keptUtf8, keptGbk;      // the lists' verdict on an address's bytes
    TextMap<ConversionOutcome> outcomes;  // by the address as GBK text
    std::mt19937 random{
        static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count())};
};

std::string FileConverterEngine::idleCaption() {
    return "开始转换短网址并替换原地址";
}

std::string FileConverterEngine::progressCaption(int position, int count, std::string_view path) {
    std::string base = fileName(path);
    if (const std::size_t dot = base.rfind('.'); dot != std::string::npos) base.resize(dot);
    return "(" + std::to_string(count) + ":" + std::to_string(position) + ")" + base;
}

void FileConverterEngine::startOrStopConversion(bool bySearch) {
    if (view_.startCaption() != idleCaption() || running_) {
        view_.setStartCaption("正在停止中..");
        requestStop();
        return;
    }
    running_ = true;
    outcome_ = run(bySearch);
    running_ = false;
}

FileConverterEngine::Outcome FileConverterEngine::run(bool bySearch) {
    Run state;
    state.settings = view_.settings();
    const FileConverterSettings& s = state.settings;
    summary_ = {};

    // A list whose regular expression does not compile would silently skip
    // (white) or keep (black) every address: refuse before touching anything.
    state.white.create(s.whiteListMode == ListMode::RegularExpression
                           ? s.whiteList
                           : RegexObject::wildcardToPattern(s.whiteList));
    state.black.create(s.blackListMode == ListMode::RegularExpression
                           ? s.blackList
                           : RegexObject::wildcardToPattern(s.blackList));
    for (const auto& [on, object, name] : {std::tuple{s.whiteListOn, &state.white, "网址白名单"},
                                           std::tuple{s.blackListOn, &state.black, "网址黑名单"}}) {
        if (on && !object->isValid()) {
            view_.showMessage(std::string(name) + "的规则不是有效的正则表达式：" +
                              object->errorMessage());
            return Outcome::InvalidList;
        }
    }

    std::string listingError;
    const std::vector<FolderEntry> files =
        bySearch ? listFilesBySearch(s.folder, s.pattern, &listingError)
                 : listFilesByPattern(s.folder, s.pattern, &listingError);
    if (!listingError.empty()) {
        view_.showMessage("无法读取目录‘" + s.folder + "’：" + listingError);
        return Outcome::FolderUnreadable;
    }
    if (files.empty()) {
        view_.showMessage("在这个目录下‘" + s.folder + "’找不到‘" + s.pattern + "’类型的文件！");
        return Outcome::NoFiles;
    }
    state.outputFolder = nativePath(s.folder) / nativePath("处理结果");
    std::error_code ec;
    std::filesystem::create_directory(state.outputFolder, ec);
    // A link named like the output folder could point the outputs at the sources or anywhere else.
    if (!std::filesystem::is_directory(std::filesystem::symlink_status(state.outputFolder, ec))) {
        view_.showMessage("无法使用输出目录‘" + gbkPath(state.outputFolder) +
                          "’：它不是目录（或是符号链接）");
        return Outcome::FolderUnreadable;
    }
    view_.setStartCaption("停止转换");
    stopRequested_ = false;
    summary_.outputFolder = gbkPath(state.outputFolder) + "/";
    converter_.convertUrl("", ShortUrlConverter::kSnapshotAndLabel);
    converter_.setStopFlag(&stopRequested_);
    view_.showProgress(true);

    const int count = static_cast<int>(files.size());
    for (int i = 0; i < count && !stopRequested_; ++i) processFile(state, files[i], i + 1, count);

    converter_.setStopFlag(nullptr);
    summary_.stopped = stopRequested_;
    view_.showProgress(false);
    view_.setStartCaption(idleCaption());
    view_.clearRows();
    view_.finished(summary_);
    return Outcome::Finished;
}

bool FileConverterEngine::keeps(Run& state, std::string_view bytes, bool utf8) {
    TextMap<bool>& verdicts = utf8 ? state.keptUtf8 : state.keptGbk;
    if (const auto found = verdicts.find(bytes); found != verdicts.end()) return found->second;
    const auto encoding = utf8 ? RegexObject::Encoding::Utf8 : RegexObject::Encoding::Gbk;
    const bool kept = !(state.settings.whiteListOn && state.white.execute(bytes, encoding) == 0) &&
                      !(state.settings.blackListOn && state.black.execute(bytes, encoding) > 0);
    verdicts.emplace(bytes, kept);
    return kept;
}

void FileConverterEngine::processFile(Run& state, const FolderEntry& file, int position,
                                      int count) {
    view_.setProgress(position, count, progressCaption(position, count, file.name));
    // Pages are UTF-8 when their bytes are; otherwise the GBK they were written in.
    const Utf8Check check = fileIsUtf8(file.path);
    const bool utf8 = check.utf8;
    std::vector<FoundUrl> urls;
    TextMap<std::size_t> seen;
    std::string error = check.error;
    if (error.empty()) {
        error = scanFile(file.path, utf8, [&](std::size_t, std::string_view bytes) {
            if (!seen.contains(bytes) && keeps(state, bytes, utf8)) {
                seen.emplace(bytes, urls.size());
                urls.push_back({utf8 ? fromUtf8(bytes) : std::string(bytes), std::string(bytes)});
            }
            processPendingMessages();
            return bytes;
        });
    }
    if (!error.empty()) {
        ++summary_.filesFailed;
        view_.fileFailed(file.name, "无法读取：" + error);
        return;
    }

    view_.clearRows();
    for (const FoundUrl& url : urls) view_.addRow("队列中..", url.text, ResultRowState::Waiting);
    TextMap<std::string> replacements;
    for (std::size_t row = 0; row < urls.size() && !stopRequested_; ++row) {
        const int index = static_cast<int>(row);
        view_.setRow(index, "正在转换..", ResultRowState::Converting);
        const auto known = state.outcomes.find(urls[row].text);
        const bool reused = known != state.outcomes.end();
        const ConversionOutcome outcome =
            reused ? known->second : converter_.convert(urls[row].text);
        if (outcome.failure == FailureKind::Stopped) {
            view_.setRow(index, "队列中..", ResultRowState::Waiting);
            break;
        }
        if (!reused) state.outcomes.emplace(urls[row].text, outcome);
        if (outcome.ok()) {
            ++summary_.converted;
            replacements.emplace(urls[row].bytes,
                                 utf8 ? toUtf8(outcome.shortUrl) : outcome.shortUrl);
        } else {
            ++summary_.failed;
        }
        view_.showOutcome(index, outcome);
        // An outcome this run already had, or one the history answered, asked no service:
        // nothing to pace.
        if (!reused && !outcome.fromHistory)
            waitInterruptibly(pauseMilliseconds(view_.intervalText(), state.random),
                              stopRequested_);
    }

    // The copy is written as the source streams past, each address replaced
    // where it was found and nowhere else.
    std::error_code ec;
    const std::filesystem::perms permissions = std::filesystem::status(file.path, ec).permissions();
    ReplacementFile output(state.outputFolder / file.path.filename());
    error = output.error();
    if (error.empty()) {
        error = scanFile(
            file.path, utf8,
            [&replacements](std::size_t, std::string_view bytes) -> std::string_view {
                const auto found = replacements.find(bytes);
                return found == replacements.end() ? bytes : std::string_view(found->second);
            },
            [&output](std::string_view chunk) { return output.write(chunk); });
    }
    if (error.empty())
        error = output.commit(ec ? std::filesystem::perms::owner_read |
                                       std::filesystem::perms::owner_write
                                 : permissions);
    if (error.empty()) {
        ++summary_.filesWritten;
    } else {
        ++summary_.filesFailed;
        const bool reading = output.error().empty();
        view_.fileFailed(file.name, (reading ? "无法读取：" : "无法写入：") + error);
    }
}

}  // namespace lianshuo

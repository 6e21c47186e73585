#include "jobs/fileconverter.h"

#include <chrono>
#include <deque>
#include <filesystem>
#include <optional>
#include <random>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "base/charset.h"
#include "base/gbk.h"
#include "base/helpers.h"
#include "base/paths.h"
#include "base/replacementfile.h"
#include "jobs/addressindex.h"
#include "jobs/addressscanner.h"
#include "jobs/conversionqueue.h"
#include "jobs/filelisting.h"
#include "jobs/interval.h"
#include "jobs/jobloop.h"
#include "jobs/scanahead.h"
#include "script/regexobject.h"
#include "services/addedquery.h"
#include "services/shorturlconverter.h"

namespace lianshuo {
namespace {

std::string fileName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// One address found in a file: as GBK text, as the file's own bytes, and
// its short form in the file's bytes once converted.
struct FoundUrl {
    std::string text;
    std::string bytes;
    std::optional<std::string> replacement;
};

// Lookups by the bytes the scanner hands out, without copying them into a key.
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
        return std::hash<std::string_view>{}(text);
    }
};
// The list verdicts kept per run, at most.
constexpr std::size_t kMostVerdicts = 1 << 16;
// How long a list's regular expression may look at one address.
constexpr auto kListRegexTime = std::chrono::seconds(2);

template <typename Value>
using TextMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;

}  // namespace

struct FileConverterEngine::Run {
    FileConverterSettings settings;
    std::filesystem::path outputFolder;
    RegexObject white, black;
    // The lists' verdict on an address's bytes, and the last file (from 1) that counted it
    // as left out. Per run, not per file: a site repeats its addresses across pages.
    struct Verdict {
        bool kept;
        int countedIn;
    };
    TextMap<Verdict> keptUtf8, keptGbk;
    std::vector<FolderEntry> files;
    std::unique_ptr<ScanAhead> ahead;  // the files, read and scanned in order
    int position = 0;                  // the file under way, from 0
    // The file under way: its encoding, its addresses, and their short forms in its bytes.
    bool utf8 = false;
    std::deque<FoundUrl> urls;  // never moves what it holds: `seen` views its bytes
    AddressIndex seen;          // each address's place in `urls`
    // The distinct addresses of the file under way that the lists left out, counted with
    // their verdicts (an address met again after the verdicts were emptied counts twice).
    std::size_t leftOut = 0;
    std::size_t replaced = 0;  // addresses with a replacement
    // A list cut short on an address of the file under way: why (time), or the stop.
    std::string listFailure;
    bool listStopped = false;
    std::mt19937 random{
        static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count())};
};

FileConverterEngine::FileConverterEngine(FileConverterView& view, ShortUrlConverter& converter,
                                         JobLoop* loop)
    : view_(view), job_(converter, loop) {}

FileConverterEngine::~FileConverterEngine() = default;

std::string FileConverterEngine::idleCaption() {
    return "开始转换短网址并替换原地址";
}

std::string FileConverterEngine::progressCaption(int position, int count, std::string_view path) {
    std::string base = fileName(path);
    if (const std::size_t dot = base.rfind('.'); dot != std::string::npos) base.resize(dot);
    return "(" + std::to_string(count) + ":" + std::to_string(position) + ")" + base;
}

void FileConverterEngine::startOrStopConversion(bool bySearch) {
    if (job_.state() != RunState::Idle) {
        view_.setStartCaption("正在停止中..");
        requestStop();
        return;
    }
    outcome_ = begin(bySearch);
    job_.wait();
}

void FileConverterEngine::requestStop() {
    job_.stop();
}

bool FileConverterEngine::stopping() const {
    return job_.stopped();
}

FileConverterEngine::Outcome FileConverterEngine::begin(bool bySearch) {
    run_ = std::make_unique<Run>();
    Run& state = *run_;
    state.settings = view_.settings();
    const FileConverterSettings& s = state.settings;
    summary_ = {};

    // A list whose regular expression does not compile would silently skip
    // (white) or keep (black) every address: refuse before touching anything.
    state.white.bound(kListRegexTime, &job_.queue().stopFlag());
    state.black.bound(kListRegexTime, &job_.queue().stopFlag());
    for (const auto& [on, object, name, mode, rules] :
         {std::tuple{s.whiteListOn, &state.white, "网址白名单", s.whiteListMode, &s.whiteList},
          std::tuple{s.blackListOn, &state.black, "网址黑名单", s.blackListMode, &s.blackList}}) {
        const Status compiled = object->create(
            mode == ListMode::RegularExpression ? *rules : RegexObject::wildcardToPattern(*rules));
        if (on && !compiled) {
            view_.showMessage(std::string(name) + "的规则不是有效的正则表达式：" +
                              compiled.reason());
            return Outcome::InvalidList;
        }
    }

    Result<std::vector<FolderEntry>> listed =
        bySearch ? listFilesBySearch(s.folder, s.pattern) : listFilesByPattern(s.folder, s.pattern);
    if (!listed) {
        view_.showMessage("无法读取目录‘" + s.folder + "’：" + listed.reason());
        return Outcome::FolderUnreadable;
    }
    state.files = std::move(*listed);
    if (state.files.empty()) {
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
    std::vector<std::filesystem::path> paths;
    paths.reserve(state.files.size());
    for (const FolderEntry& file : state.files) paths.push_back(file.path);
    state.ahead = std::make_unique<ScanAhead>(std::move(paths));
    view_.setStartCaption("停止转换");
    job_.begin(view_.parallelRequests(), s.rules);
    summary_.outputFolder = gbkPath(state.outputFolder) + "/";
    view_.showProgress(true);
    nextFile();
    return Outcome::Finished;
}

void FileConverterEngine::nextFile() {
    Run& state = *run_;
    const int count = static_cast<int>(state.files.size());
    // Files without an address to convert are written straight away.
    while (state.position < count && !stopping()) {
        const FolderEntry& file = state.files[static_cast<std::size_t>(state.position)];
        view_.setProgress(state.position + 1, count,
                          progressCaption(state.position + 1, count, file.name));
        if (scanFile(file) && !state.urls.empty()) {
            convertFile();
            return;
        }
        ++state.position;
    }
    finishRun();
}

// Whether the run's mode has anything to do with an address; hosts are ASCII in either encoding.
bool FileConverterEngine::takes(std::string_view bytes) const {
    const RunPlan* plan = job_.queue().plan();
    return plan == nullptr || plan->takes(bytes);
}

bool FileConverterEngine::keeps(std::string_view bytes, bool utf8) {
    Run& state = *run_;
    if (!state.settings.whiteListOn && !state.settings.blackListOn) return true;
    if (state.listStopped || !state.listFailure.empty()) return false;  // the file fails anyway
    TextMap<Run::Verdict>& verdicts = utf8 ? state.keptUtf8 : state.keptGbk;
    const int file = state.position + 1;
    if (const auto found = verdicts.find(bytes); found != verdicts.end()) {
        Run::Verdict& verdict = found->second;
        if (!verdict.kept && verdict.countedIn != file) {
            verdict.countedIn = file;
            ++state.leftOut;
        }
        return verdict.kept;
    }
    const auto encoding = utf8 ? RegexObject::Encoding::Utf8 : RegexObject::Encoding::Gbk;
    // A list cut short has no verdict on the address: none is kept, and the file fails.
    const auto cutShort = [&](const RegexObject& list, std::string_view name) {
        if (list.interruption() == RegexInterruption::None) return false;
        if (list.interruption() == RegexInterruption::Stopped)
            state.listStopped = true;
        else if (state.listFailure.empty())
            state.listFailure = std::string(name) + "的正则表达式匹配超时：" +
                                escapedExcerpt(utf8 ? fromUtf8(bytes) : std::string(bytes));
        return true;
    };
    bool kept = true;
    if (state.settings.whiteListOn) {
        kept = state.white.execute(bytes, encoding) > 0;
        if (cutShort(state.white, "网址白名单")) return false;
    }
    if (kept && state.settings.blackListOn) {
        kept = state.black.execute(bytes, encoding) == 0;
        if (cutShort(state.black, "网址黑名单")) return false;
    }
    // A site repeats a few thousand addresses; a huge file of addresses that never repeat
    // must not grow the memory of verdicts with its size.
    if (verdicts.size() >= kMostVerdicts) verdicts.clear();
    verdicts.emplace(bytes, Run::Verdict{kept, kept ? 0 : file});
    if (!kept) ++state.leftOut;
    return kept;
}

// Finds the file's addresses the lists keep. False when the file could not be
// read (it is reported); a readable file without such addresses is written here.
bool FileConverterEngine::scanFile(const FolderEntry& file) {
    Run& state = *run_;
    state.seen.clear();
    state.urls.clear();
    state.replaced = 0;
    state.listFailure.clear();
    state.listStopped = false;
    state.leftOut = 0;
    const auto visit = [&state, this](std::size_t, std::string_view bytes) {
        if (state.seen.find(bytes) != AddressIndex::npos || !takes(bytes)) return bytes;
        if (keeps(bytes, state.utf8)) {
            const FoundUrl& url =
                state.urls.emplace_back(FoundUrl{state.utf8 ? fromUtf8(bytes) : std::string(bytes),
                                                 std::string(bytes), std::nullopt});
            state.seen.add(url.bytes);
        }
        return bytes;
    };
    // Pages are UTF-8 when their bytes are; otherwise the GBK they were written in.
    Status read;
    if (ScannedFile scanned = state.ahead->next(); scanned.scanned) {
        read = std::move(scanned.read);
        state.utf8 = scanned.utf8;
        for (const auto& [offset, bytes] : scanned.addresses) visit(offset, bytes);
    } else {
        read = scanFileOfEitherEncoding(file.path, state.utf8, visit);
    }
    if (!read) {
        ++summary_.filesFailed;
        view_.fileFailed(file.name, "无法读取：" + read.reason());
        return false;
    }
    // The run is ending; a file whose addresses were not all judged is not written.
    if (state.listStopped) return false;
    if (!state.listFailure.empty()) {
        ++summary_.filesFailed;
        view_.fileFailed(file.name, state.listFailure);
        return false;
    }
    // Counted once the file's addresses were all judged.
    summary_.leftOut += static_cast<int>(state.leftOut);
    state.leftOut = 0;
    view_.clearRows();
    if (state.urls.empty()) writeFile(file);
    return true;
}

void FileConverterEngine::convertFile() {
    Run& state = *run_;
    std::vector<std::string> addresses;
    addresses.reserve(state.urls.size());
    const std::string added = view_.addedQuery();
    // The rows keep their own copy of the text; the queue takes it from here.
    for (FoundUrl& url : state.urls) {
        std::string sent = withAddedQuery(url.text, added);
        view_.addRow("队列中..", sent, ResultRowState::Waiting);
        addresses.push_back(std::move(sent));
    }
    ConversionQueue::Events events;
    events.converting = [this](int row) {
        view_.setRow(row, "正在转换..", ResultRowState::Converting);
    };
    events.finished = [this](int row, const ConversionOutcome& outcome) {
        addressFinished(row, outcome);
    };
    events.pauseMs = [this] { return pauseMilliseconds(view_.intervalText(), run_->random); };
    events.done = [this] {
        // The next file starts from the loop, not from inside the queue's last step.
        job_.loop().post([this] {
            if (!job_.running()) return;
            writeFile(run_->files[static_cast<std::size_t>(run_->position)]);
            ++run_->position;
            nextFile();
        });
    };
    // The pause after a file's last conversion comes before the next file's
    // first one: after the run's last conversion there is none.
    job_.queue().convert(std::move(addresses), std::move(events));
}

void FileConverterEngine::addressFinished(int row, const ConversionOutcome& outcome) {
    if (outcome.failure == FailureKind::Stopped) {
        view_.setRow(row, "队列中..", ResultRowState::Waiting);
        return;
    }
    FoundUrl& url = run_->urls[static_cast<std::size_t>(row)];
    if (outcome.ok()) {
        ++summary_.converted;
        ++run_->replaced;
        url.replacement = run_->utf8 ? toUtf8(outcome.shortUrl) : outcome.shortUrl;
    } else {
        ++summary_.failed;
    }
    view_.showOutcome(row, outcome);
    if (!outcome.ok())
        view_.addressFailed(row, run_->files[static_cast<std::size_t>(run_->position)].name,
                            outcome);
}

void FileConverterEngine::writeFile(const FolderEntry& file) {
    Run& state = *run_;
    // The copy is written as the source streams past, each address replaced
    // where it was found and nowhere else.
    std::error_code ec;
    const std::filesystem::perms permissions = std::filesystem::status(file.path, ec).permissions();
    ReplacementFile output(state.outputFolder / file.path.filename());
    Status done = output.status();
    const auto write = [&output](std::string_view chunk) { return output.write(chunk).ok(); };
    // Nothing to replace (the lists kept no address, or none converted): a plain copy.
    if (done && state.replaced == 0) done = streamFile(file.path, write);
    if (done && state.replaced != 0) {
        done = lianshuo::scanFile(
            file.path, state.utf8,
            [&state](std::size_t, std::string_view bytes) -> std::string_view {
                const std::size_t found = state.seen.find(bytes);
                if (found == AddressIndex::npos) return bytes;
                const std::optional<std::string>& replacement = state.urls[found].replacement;
                return replacement ? std::string_view(*replacement) : bytes;
            },
            write);
    }
    if (done)
        done = output.commit(ec ? std::filesystem::perms::owner_read |
                                      std::filesystem::perms::owner_write
                                : permissions);
    if (done) {
        ++summary_.filesWritten;
        if (state.replaced == 0) ++summary_.filesUnchanged;
    } else {
        ++summary_.filesFailed;
        const bool reading = output.status().ok();
        view_.fileFailed(file.name, (reading ? "无法读取：" : "无法写入：") + done.reason());
    }
}

void FileConverterEngine::finishRun() {
    summary_.stopped = stopping();
    run_.reset();
    job_.end();
    view_.showProgress(false);
    view_.setStartCaption(idleCaption());
    view_.clearRows();
    view_.finished(summary_);
}

}  // namespace lianshuo

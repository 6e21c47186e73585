#include "cli/session.h"

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <system_error>
#include <tuple>

#include "base/charset.h"
#include "base/paths.h"
#include "cli/progressline.h"
#include "jobs/clipboard.h"
#include "jobs/interval.h"
#include "services/addedquery.h"
#include "services/builtinhosts.h"
#include "services/interfacestore.h"
#include "services/panelinterface.h"

namespace lianshuo::cli {
namespace {

// Plain decimal digits with at most one point: "inf", "nan" and "1e308" are no intervals.
bool isNumberText(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) return false;
    return std::count(text.begin(), text.end(), '.') <= 1 && text != ".";
}

}  // namespace

std::atomic<bool> interrupted{false};

namespace {

// Read by the signal handler, which may touch lock-free atomics only.
std::atomic<std::atomic<bool>*> interruptStops{nullptr};
static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<std::atomic<bool>*>::is_always_lock_free);

}  // namespace

StopOnInterrupt::StopOnInterrupt(std::atomic<bool>& flag) {
    interruptStops = &flag;
    if (interrupted) flag = true;
}

StopOnInterrupt::~StopOnInterrupt() {
    interruptStops = nullptr;
}

void interrupt() {
    interrupted = true;
    if (std::atomic<bool>* flag = interruptStops.load()) flag->store(true);
}

RequestObserver verboseObserver(Console& console, ProgressLine& progress) {
    return [&console, &progress](std::string_view method, std::string_view url,
                                 const ServiceReply& reply) {
        progress.erase();
        console.err << method << ' ' << toUtf8(url) << " -> ";
        if (reply.error == TransferError::None)
            console.err << reply.status;
        else
            console.err << toUtf8(replyFailure(reply).reason());
        console.err << '\n';
    };
}

void print(std::ostream& stream, std::string_view gbk) {
    stream << toUtf8(gbk);
}

int fail(Console& console, const std::string& messageGbk, int status) {
    console.err << "lianshuo: " << toUtf8(messageGbk) << '\n';
    return status;
}

bool Session::openSettings(const Options& options, bool forWriting, std::string& error) {
    const std::string path = options.settings ? *options.settings : settingsFilePath();
    std::error_code ec;
    const bool exists = std::filesystem::exists(nativePath(path), ec);
    if (options.settings && !exists && !forWriting) {
        error = "找不到设置文件：" + path;
        return false;
    }
    // Reading never creates a settings file that is not there.
    if (exists || forWriting) {
        if (const Status bound = store_.bindFile(path); !bound) {
            error = "无法读取设置文件 " + path + "：" + bound.reason();
            return false;
        }
        tokenPrivacy_ = store_.checkTokenPrivacy();
    }
    loadSettings(store_, app_);
    return true;
}

void Session::sayTokenPrivacy(Console& console) const {
    if (!tokenPrivacy_)
        console.err << toUtf8("蓝棠：") << ' ' << toUtf8(tokenPrivacy_.reason()) << '\n';
}

bool readWholeNumber(std::string_view option, const std::string& text, int least, int most,
                     int& value, std::string& error) {
    const bool digits = !text.empty() && text.size() <= 3 &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    if (digits) value = std::stoi(text);
    if (digits && value >= least && value <= most) return true;
    error = std::string(option) + " 需要 " + std::to_string(least) + " 到 " + std::to_string(most) +
            " 之间的整数，而不是“" + text + "”";
    return false;
}

Result<ShortUrlInterface> Session::savedInterface(std::string_view name) const {
    return loadSavedInterface(name, store_);
}

bool Session::readShortAddressRules(const Options& options, ShortAddressRules& rules,
                                    std::string& error) const {
    rules.shortenShort = options.shortenShort || app_.shortenShort;
    for (const auto& [given, name, into] :
         {std::tuple{&options.hosts, "--hosts", &rules.hosts},
          std::tuple{&options.migrateFrom, "--migrate-from", &rules.migrateFrom}}) {
        if (!*given) continue;
        Result<std::vector<std::string>> hosts = parseHostList(**given);
        if (!hosts) {
            error = std::string(name) + ": " + hosts.reason();
            return false;
        }
        *into = std::move(*hosts);
    }
    if (options.expand && options.migrateFrom) {
        error = "--expand 和 --migrate-from 不能一起使用";
        return false;
    }
    if (options.expand) rules.kind = RunKind::Expand;
    if (options.migrateFrom) rules.kind = RunKind::Migrate;
    return true;
}

bool Session::resolveConversion(const Options& options, std::string& error, bool converting) {
    service_ = app_.service;
    if (options.service) {
        service_ = parseService(*options.service);
        if (service_ < 0) {
            error = "未知服务“" + *options.service +
                    "”（可用 custom、baidu、weibo、tinyurl 或 0 到 3）";
            return false;
        }
    }
    if (converting && service_ == kBaiduService && !options.token) {
        if (const Status fetched = fetchBaiduToken(store_, app_); !fetched) {
            error = fetched.reason();
            return false;
        }
    }
    token_ = options.token.value_or(app_.baiduToken);
    interval_ = options.interval.value_or(app_.interval);
    if (options.interval) {
        if (!isNumberText(*options.interval) ||
            ControlStateStore::parseNumber(*options.interval) > kLongestIntervalSeconds) {
            error = "--interval 需要 0 到 86400 之间的秒数，而不是“" + *options.interval + "”";
            return false;
        }
    }
    int retries = app_.retries;
    if (options.retries && !readWholeNumber("--retries", *options.retries, 0, 10, retries, error))
        return false;
    parallel_ = app_.parallel;
    if (options.jobs &&
        !readWholeNumber("--jobs", *options.jobs, 1, kMostParallelRequests, parallel_, error))
        return false;

    addedQuery_ = options.addQuery.value_or(app_.addedQuery);
    if (const Status valid = checkAddedQuery(addedQuery_); !valid) {
        error = (options.addQuery ? "--add-query: " : "") + valid.reason();
        return false;
    }

    const BuiltinHosts hosts = readBuiltinHosts(store_);
    const std::vector<std::string> names = listInterfaceNames(store_);
    std::string interfaceName;
    if (options.interfaceName) {
        if (std::find(names.begin(), names.end(), *options.interfaceName) == names.end()) {
            error = "未知接口“" + *options.interfaceName + "”";
            return false;
        }
        interface_ = loadInterface(*options.interfaceName, store_);
        interfaceName = *options.interfaceName;
    } else if (app_.interfaceIndex >= 0 &&
               static_cast<std::size_t>(app_.interfaceIndex) < names.size()) {
        interfaceName = names[static_cast<std::size_t>(app_.interfaceIndex)];
        interface_ = loadInterface(interfaceName, store_);
    } else {
        interface_ = initialPanelInterface(hosts);
    }
    // A token in the keyring that cannot be had fails here, before any request.
    if (converting && service_ == kCustomService && !interfaceName.empty()) {
        if (const Status fetched = fetchInterfaceSecrets(interfaceName, interface_, store_);
            !fetched) {
            error = fetched.reason();
            return false;
        }
    }
    converter_ = std::make_unique<ShortUrlConverter>(*this, hosts);
    converter_->setRetryPolicy({.retries = retries});
    converter_->setVerify(options.verify || app_.verify);
    return true;
}

std::string historyPathFor(const Options& options) {
    return historyFilePath(options.settings ? *options.settings : settingsFilePath());
}

void Session::attachHistory(const Options& options, Console& console) {
    const auto warn = [&console](std::string_view message) {
        console.err << toUtf8("lianshuo: 警告：") << toUtf8(message) << '\n';
    };
    const Status opened = history_.open(historyPathFor(options));
    if (!history_.openWarning().empty()) warn(history_.openWarning());
    if (!opened.ok()) {
        warn("历史不可用，本次转换不使用历史：" + opened.reason());
        return;
    }
    converter_->setHistory(&history_, app_.useHistory && !options.noHistory, options.refresh);
    converter_->setHistoryWarning(warn);
}

}  // namespace lianshuo::cli

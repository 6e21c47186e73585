#include "store/settings.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/paths.h"
#include "base/platform.h"
#include "store/controlstatestore.h"
#include "store/keytable.h"
#include "store/sectionsecrets.h"

namespace lianshuo {
namespace {

constexpr const char* kSection = "基本配置";

// The per-user folder of the program under $`variable`, else ~/`fallback`.
std::filesystem::path perUserFolder(const char* variable, const char* fallback) {
    std::filesystem::path base;
    if (const char* xdg = std::getenv(variable); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::filesystem::path(home) / fallback;
    else
        base = std::filesystem::temp_directory_path();
    return base / nativePath(appTitle());
}

std::string perUserSettingsPath() {
    const std::filesystem::path folder = perUserFolder("XDG_CONFIG_HOME", ".config");
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return gbkPath(folder) + "/" + appTitle() + ".ini";
}

// The keys of "基本配置" in the order the window writes them on close.
constexpr SettingKey<AppSettings> kBasicKeys[] = {
    // Any other number reads as the default service.
    numberSetting<&AppSettings::service>("短网址索引", {0, 3, Outside::Default}),
    numberSetting<&AppSettings::interfaceIndex>("自定义接口短网址索引"),
    textSetting<&AppSettings::interval>("生成间隔秒"),
    flagSetting<&AppSettings::autoSave>("选择框自动保存到目录"),
    textSetting<&AppSettings::saveDir>("编辑框保存目录"),
    textSetting<&AppSettings::baiduToken>("百度Token"),
    textSetting<&AppSettings::tokenStorage>(kSecretStorageKey, Written::AwayFromDefault),
    flagSetting<&AppSettings::useHistory>("使用历史", Written::AwayFromDefault),
    numberSetting<&AppSettings::parallel>("并发数", {1, kMostParallelRequests},
                                          Written::AwayFromDefault),
    numberSetting<&AppSettings::appearance>("外观", {0, 2, Outside::Default, true},
                                            Written::AwayFromDefault),
    // Switches stored as 1 (and 0 read back), as a user types them by hand.
    numberSetting<&AppSettings::watchClipboard>("监视剪贴板", {0, 1}, Written::AwayFromDefault),
    numberSetting<&AppSettings::tray>("托盘", {0, 1}, Written::AwayFromDefault),
    textSetting<&AppSettings::addedQuery>("追加参数", Written::AwayFromDefault),
    numberSetting<&AppSettings::verify>("验证短网址", {0, 1}, Written::AwayFromDefault),
    numberSetting<&AppSettings::retries>("重试次数", {0, 10}, Written::ByHand),
    numberSetting<&AppSettings::shortenShort>("转换短网址", {0, 1}, Written::ByHand),
};

// The Baidu token, the one secret of "基本配置".
SectionSecrets baiduSecrets(AppSettings& settings, bool& inKeyring) {
    return {kSection,
            appTitle() + " 百度Token",
            "钥匙串中没有",
            {{"百度Token", &settings.baiduToken}},
            &inKeyring};
}

}  // namespace

const std::string& appTitle() {
    static const std::string title = "蓝棠·链梭";
    return title;
}

std::string settingsFilePath() {
    if (const char* path = std::getenv("LIANSHUO_SETTINGS"); path && *path) return gbkPath(path);
    const std::string beside = programDirectory() + "/" + appTitle() + ".ini";
    const std::filesystem::path native = nativePath(beside);
    std::error_code ec;
    const bool fileWritable = !std::filesystem::exists(native, ec) || platform::isWritable(native);
    if (fileWritable && platform::isWritable(native.parent_path())) return beside;
    return perUserSettingsPath();
}

std::string historyFilePath(std::string_view settingsPath) {
    if (const char* path = std::getenv("LIANSHUO_HISTORY"); path && *path) return gbkPath(path);
    const std::size_t slash = settingsPath.rfind('/');
    const std::string folder(slash == std::string_view::npos ? "." : settingsPath.substr(0, slash));
    return (folder.empty() ? "" : folder) + "/历史.sqlite";
}

std::string historyFilePath() {
    return historyFilePath(settingsFilePath());
}

std::string defaultResultsFolder() {
    const std::string beside = programDirectory() + "/生成目录";
    if (platform::isWritable(nativePath(programDirectory()))) return beside;
    // An installed program's folder is never writable: results go where user data lives.
    return gbkPath(perUserFolder("XDG_DATA_HOME", ".local/share") / nativePath("生成目录"));
}

ControlStateStore& settingsStore() {
    static ControlStateStore store;
    return store;
}

void loadSettings(ControlStateStore& store, AppSettings& settings) {
    readKeys<AppSettings>(store, kSection, kBasicKeys, settings);
    if (settings.saveDir.empty()) settings.saveDir = defaultResultsFolder();
}

Status saveSettings(ControlStateStore& store, const AppSettings& settings,
                    std::string* keyringNotice) {
    AppSettings defaults;
    // What an empty or missing folder reads as.
    defaults.saveDir = defaultResultsFolder();
    AppSettings written = settings;
    bool inKeyring = written.tokenStorage == kInKeyring;
    const Status kept = keepSecrets(store, baiduSecrets(written, inKeyring));
    if (!kept && keyringNotice) *keyringNotice = kept.reason();
    written.tokenStorage = inKeyring ? std::string(kInKeyring) : std::string();
    return saveKeys<AppSettings>(store, kSection, kBasicKeys, written, defaults);
}

Status fetchBaiduToken(const ControlStateStore& store, AppSettings& settings) {
    bool inKeyring = settings.tokenStorage == kInKeyring;
    const Status fetched = fetchSecrets(store, baiduSecrets(settings, inKeyring));
    if (!inKeyring) settings.tokenStorage.clear();
    return fetched;
}

}  // namespace lianshuo

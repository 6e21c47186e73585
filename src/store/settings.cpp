#include "store/settings.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/paths.h"
#include "base/platform.h"
#include "store/controlstatestore.h"

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

// A stored index of any size, or not a number at all, must not overflow an int.
int toIndex(double value) {
    if (!(value > -1e9 && value < 1e9)) return 0;
    return static_cast<int>(value);
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
    store.selectSection(kSection);
    const int service = toIndex(store.readNumber("短网址索引", settings.service));
    if (service >= 0 && service <= 3) settings.service = service;
    settings.interfaceIndex =
        toIndex(store.readNumber("自定义接口短网址索引", settings.interfaceIndex));
    settings.interval = store.readText("生成间隔秒", settings.interval);
    settings.baiduToken = store.readText("百度Token", settings.baiduToken);
    settings.retries = std::clamp(toIndex(store.readNumber("重试次数", settings.retries)), 0, 10);
    settings.useHistory = store.readBool("使用历史", settings.useHistory);
    settings.parallel = std::clamp(toIndex(store.readNumber("并发数", settings.parallel)), 1,
                                   kMostParallelRequests);
    settings.autoSave = store.restoreCheckBox("选择框自动保存到目录", settings.autoSave);
    settings.saveDir = store.restoreEditText("编辑框保存目录", settings.saveDir);
    if (settings.saveDir.empty()) settings.saveDir = defaultResultsFolder();
}

Status saveSettings(ControlStateStore& store, const AppSettings& settings) {
    store.selectSection(kSection);
    ControlStateStore::Batch batch(store);
    batch.writeNumber("短网址索引", settings.service);
    batch.writeNumber("自定义接口短网址索引", settings.interfaceIndex);
    batch.writeText("生成间隔秒", settings.interval);
    batch.saveCheckBox("选择框自动保存到目录", settings.autoSave);
    batch.saveEditText("编辑框保存目录", settings.saveDir);
    batch.writeText("百度Token", settings.baiduToken);
    if (!settings.useHistory)
        batch.writeBool("使用历史", false);
    else
        batch.deleteEntry(kSection, "使用历史");
    if (settings.parallel != 1)
        batch.writeNumber("并发数", settings.parallel);
    else
        batch.deleteEntry(kSection, "并发数");
    return batch.commit();
}

}  // namespace lianshuo

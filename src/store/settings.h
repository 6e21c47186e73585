#pragma once
// The application title, the one settings file, and the basic settings of
// the main window (section "基本配置") as a plain record.

#include <string>
#include <string_view>

#include "base/result.h"

namespace lianshuo {

class ControlStateStore;

/// "蓝棠·链梭" as GBK text: the title and the base name of the settings file.
const std::string& appTitle();

/// The settings file: $LIANSHUO_SETTINGS when set; else beside the program,
/// or the per-user config folder when the program's folder is not writable.
std::string settingsFilePath();

/// The conversion history: $LIANSHUO_HISTORY when set, else "历史.sqlite"
/// beside the settings file at the GBK path `settingsPath`.
std::string historyFilePath(std::string_view settingsPath);

/// The history beside settingsFilePath(), unless $LIANSHUO_HISTORY names another.
std::string historyFilePath();

/// The results folder when none is set: "生成目录" beside the program, or in
/// $XDG_DATA_HOME/蓝棠·链梭/ (~/.local/share/...) when the program's folder is not writable.
std::string defaultResultsFolder();

/// The process-wide store bound to the settings file at start-up.
ControlStateStore& settingsStore();

/// The keys of "基本配置", mirrored by the main window's controls; the
/// initial values are their defaults.
struct AppSettings {
    int service = 1;             // "短网址索引": 0 custom, 1 Baidu, 2 Weibo, 3 TinyURL
    int interfaceIndex = -1;     // "自定义接口短网址索引"
    std::string interval = "0";  // "生成间隔秒", kept as typed
    bool autoSave = true;        // "选择框自动保存到目录"
    std::string saveDir;         // "编辑框保存目录"
    std::string baiduToken;      // "百度Token"
    std::string tokenStorage;    // "令牌存储": "钥匙串" while the keyring holds the token
    int retries = 2;             // "重试次数": set by hand only, never written
    bool useHistory = true;      // "使用历史": reuse short addresses of earlier runs
    int parallel = 1;            // "并发数": conversions at once, 1 to kMostParallelRequests
    int appearance = 0;          // "外观": 0 as the system's colours, 1 light, 2 dark
    // "监视剪贴板": a long address copied anywhere is converted on the clipboard.
    bool watchClipboard = false;
    // "托盘": closing the main window hides it to the tray.
    bool tray = false;
    // "追加参数": query parameters added to every long address of a run ("utm_source=a").
    std::string addedQuery;
    // "转换短网址": set by hand only; converts addresses that are short already too.
    bool shortenShort = false;
    // "验证短网址": each new short address is asked where it leads.
    bool verify = false;
};

/// The most conversions a run may have under way at once.
inline constexpr int kMostParallelRequests = 32;

/// Reads "基本配置" into `settings`, whose current values are the defaults of
/// missing keys; an empty folder becomes defaultResultsFolder(). A service
/// number outside 0-3 reads as the default service, an appearance outside 0-2
/// as 0; the counts are clamped.
void loadSettings(ControlStateStore& store, AppSettings& settings);

/// Writes "基本配置" in the order the window writes it on close, as one save;
/// a key only where the file does not hold it as it reads already, so nothing
/// is written when nothing changed. "使用历史" only while it is off and "并发数"
/// only while it is not 1, "外观" only away from 0, "监视剪贴板" and "托盘" only
/// while on (as "=1"), so files that never changed them stay as they were.
/// The Baidu token goes into the system keyring when there is one; when the
/// keyring refuses it, it is saved in the file and `keyringNotice` says why.
Status saveSettings(ControlStateStore& store, const AppSettings& settings,
                    std::string* keyringNotice = nullptr);

/// Reads the Baidu token from the keyring when "令牌存储=钥匙串" says it is
/// there; fails when the keyring cannot be asked or does not have it.
Status fetchBaiduToken(const ControlStateStore& store, AppSettings& settings);

}  // namespace lianshuo

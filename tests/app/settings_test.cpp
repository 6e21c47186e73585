#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <functional>

#include "base/paths.h"
#include "base/platform.h"
#include "history/conversionhistory.h"
#include "jobs/fileconvertersettings.h"
#include "services/builtinhosts.h"
#include "store/controlstatestore.h"
#include "store/settings.h"
#include "support/tempdir.h"

using namespace lianshuo;

TEST(AppSettings, FirstRunDefaultsAndTheExactBytesWrittenOnClose) {
    test::TempDir dir;
    ControlStateStore store;
    ASSERT_TRUE(store.bindFile((dir / "a.ini").string()));
    AppSettings settings;
    loadSettings(store, settings);
    EXPECT_EQ(settings.service, 1);
    EXPECT_EQ(settings.interfaceIndex, -1);
    EXPECT_EQ(settings.interval, "0");
    EXPECT_TRUE(settings.autoSave);
    EXPECT_EQ(settings.saveDir, programDirectory() + "/生成目录");
    settings.interval = "abc";
    settings.baiduToken = "tok";
    settings.saveDir = "/tmp/out";
    EXPECT_TRUE(saveSettings(store, settings));
    EXPECT_EQ(
        test::readFile(dir / "a.ini"),
        "[基本配置]\r\n百度Token=tok\r\n编辑框保存目录=/tmp/out\r\n选择框自动保存到目录=真\r\n"
        "生成间隔秒=abc\r\n自定义接口短网址索引=-1\r\n短网址索引=1");
    AppSettings again;
    again.autoSave = false;
    loadSettings(store, again);
    EXPECT_EQ(again.interval, "abc");
    EXPECT_TRUE(again.autoSave);
    EXPECT_EQ(again.baiduToken, "tok");
}

// Every key held by hand, some out of range: each reads into its range, and a
// save without a change leaves the file as it was; a change still reaches it.
TEST(AppSettings, AFileWithEveryKeyReadsIntoRangeAndSavingItUnchangedLeavesIt) {
    using platform::faults::Call;
    test::TempDir dir;
    const std::string basic =
        "[基本配置]\r\n短网址索引=7\r\n自定义接口短网址索引=1e300\r\n生成间隔秒=1.5\r\n"
        "选择框自动保存到目录=假\r\n编辑框保存目录=/tmp/结果\r\n百度Token=tok\r\n重试次数=99\r\n"
        "使用历史=真\r\n";
    const std::string rest =
        "[文件短网址转换器]\r\n选择框白名单=假\r\n白名单=a.test\r\n选择框黑名单=真\r\n"
        "黑名单=*.js\r\n白名单模式=1.5\r\n黑名单模式=1\r\n文章目录=/data\r\n过滤=*.txt\r\n"
        "[内置服务]\r\n百度主机=dwz.example\r\n";
    test::writeFile(dir / "a.ini", basic + "并发数=1000\r\n" + rest);
    ControlStateStore store;
    ASSERT_TRUE(store.bindFile((dir / "a.ini").string()));

    AppSettings settings;
    loadSettings(store, settings);
    EXPECT_EQ(settings.service, 1);
    EXPECT_EQ(settings.interfaceIndex, 0);
    EXPECT_EQ(settings.interval, "1.5");
    EXPECT_FALSE(settings.autoSave);
    EXPECT_EQ(settings.saveDir, "/tmp/结果");
    EXPECT_EQ(settings.baiduToken, "tok");
    EXPECT_EQ(settings.retries, 10);
    EXPECT_TRUE(settings.useHistory);
    EXPECT_EQ(settings.parallel, kMostParallelRequests);
    FileConverterSettings converter = defaultFileConverterSettings();
    loadFileConverterSettings(store, converter);
    EXPECT_FALSE(converter.whiteListOn);
    EXPECT_EQ(converter.whiteList, "a.test");
    EXPECT_TRUE(converter.blackListOn);
    EXPECT_EQ(converter.blackList, "*.js");
    EXPECT_EQ(converter.whiteListMode, ListMode::Wildcard);
    EXPECT_EQ(converter.blackListMode, ListMode::RegularExpression);
    EXPECT_EQ(converter.folder, "/data");
    EXPECT_EQ(converter.pattern, "*.txt");
    const BuiltinHosts hosts = readBuiltinHosts(store);
    EXPECT_EQ(hosts.baidu, "dwz.example");
    EXPECT_EQ(hosts.weibo, defaultBuiltinHosts().weibo);

    platform::faults::reset();
    EXPECT_TRUE(saveSettings(store, settings));
    EXPECT_TRUE(saveFileConverterSettings(store, converter));
    EXPECT_EQ(platform::faults::count(Call::Rename), 0);
    EXPECT_EQ(test::readFile(dir / "a.ini"), basic + "并发数=1000\r\n" + rest);

    settings.service = 2;
    settings.parallel = 1;
    EXPECT_TRUE(saveSettings(store, settings));
    std::string changed = basic + rest;
    const std::string service = "短网址索引=7";
    changed.replace(changed.find(service), service.size(), "短网址索引=2");
    EXPECT_EQ(test::readFile(dir / "a.ini"), changed);
    platform::faults::reset();
}

TEST(AppSettings, TheEnvironmentNamesTheSettingsFile) {
    // The environment is native (UTF-8); inside, the path is GBK.
    setenv("LIANSHUO_SETTINGS", reinterpret_cast<const char*>(u8"/tmp/x/其他.ini"), 1);
    EXPECT_EQ(settingsFilePath(), "/tmp/x/其他.ini");
    unsetenv("LIANSHUO_SETTINGS");
    const std::string path = settingsFilePath();
    EXPECT_EQ(path.substr(path.size() - appTitle().size() - 4), appTitle() + ".ini");
}

TEST(AppSettings, EachGroupOfSettingsIsOneSaveAndNoneWhenNothingChanged) {
    using platform::faults::Call;
    test::TempDir dir;
    ControlStateStore store;
    ASSERT_TRUE(store.bindFile((dir / "a.ini").string()));
    AppSettings settings;
    settings.saveDir = "/tmp/out";
    FileConverterSettings converter = defaultFileConverterSettings();
    const auto saves = [](auto&& save) {
        platform::faults::reset();
        EXPECT_TRUE(save());
        EXPECT_EQ(platform::faults::count(Call::Sync), platform::faults::count(Call::Rename));
        return platform::faults::count(Call::Rename);
    };
    const auto basic = [&] { return saveSettings(store, settings); };
    const auto files = [&] { return saveFileConverterSettings(store, converter); };
    EXPECT_EQ(saves(basic), 1);
    EXPECT_EQ(saves(basic), 0);
    EXPECT_EQ(saves(files), 1);
    EXPECT_EQ(saves(files), 0);
    settings.baiduToken = "changed";
    converter.pattern = "*.txt";
    EXPECT_EQ(saves(basic), 1);
    EXPECT_EQ(saves(files), 1);
    platform::faults::reset();
}

// Keys older files never had: written only while away from their default, so such
// files stay byte for byte what they were until the user changes the setting.
TEST(AppSettings, NewKeysAreWrittenOnlyAwayFromTheirDefaults) {
    struct Case {
        const char* key;
        std::function<void(AppSettings&)> change;
        std::function<bool(const AppSettings&)> changed;
    };
    const Case cases[] = {
        {"使用历史", [](AppSettings& s) { s.useHistory = false; },
         [](const AppSettings& s) { return !s.useHistory; }},
        {"并发数", [](AppSettings& s) { s.parallel = 8; },
         [](const AppSettings& s) { return s.parallel == 8; }},
        {"监视剪贴板", [](AppSettings& s) { s.watchClipboard = true; },
         [](const AppSettings& s) { return s.watchClipboard; }},
        {"托盘", [](AppSettings& s) { s.tray = true; },
         [](const AppSettings& s) { return s.tray; }},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        ControlStateStore store;
        ASSERT_TRUE(store.bindFile((dir / "a.ini").string()));
        AppSettings settings;
        EXPECT_TRUE(saveSettings(store, settings));
        const std::string untouched = test::readFile(dir / "a.ini");
        EXPECT_EQ(untouched.find(c.key), std::string::npos) << c.key;
        AppSettings changed = settings;
        c.change(changed);
        EXPECT_TRUE(saveSettings(store, changed));
        AppSettings reread;
        loadSettings(store, reread);
        EXPECT_TRUE(c.changed(reread)) << c.key;
        // Back to the default, the file is what it was before it was ever changed.
        EXPECT_TRUE(saveSettings(store, settings));
        EXPECT_EQ(test::readFile(dir / "a.ini"), untouched) << c.key;
        AppSettings fresh;
        loadSettings(store, fresh);
        EXPECT_FALSE(c.changed(fresh)) << c.key;
    }
}

TEST(AppSettings, TheHistoryLiesBesideTheSettingsUnlessTheEnvironmentNamesIt) {
    unsetenv("LIANSHUO_HISTORY");
    EXPECT_EQ(historyFilePath("/tmp/x/其他.ini"), "/tmp/x/历史.sqlite");
    EXPECT_EQ(historyFilePath("s.ini"), "./历史.sqlite");
    const std::string besideSettings = settingsFilePath();
    EXPECT_EQ(historyFilePath(),
              besideSettings.substr(0, besideSettings.rfind('/')) + "/历史.sqlite");
    setenv("LIANSHUO_HISTORY", reinterpret_cast<const char*>(u8"/tmp/y/记录.sqlite"), 1);
    EXPECT_EQ(historyFilePath("/tmp/x/其他.ini"), "/tmp/y/记录.sqlite");
    unsetenv("LIANSHUO_HISTORY");
}

TEST(AppSettings, FilesThatMayHoldSecretsAreTheOwnersAloneAndAReadableOneIsSaidOnce) {
    test::TempDir dir;
    const auto modeOf = [&dir](const char* name) {
        struct stat info {};
        return ::stat((dir / name).c_str(), &info) == 0 ? info.st_mode & 0777 : 0u;
    };
    const mode_t previous = umask(022);
    ControlStateStore store;
    ASSERT_TRUE(store.bindFile((dir / "new.ini").string()));
    store.selectSection("基本配置");
    ASSERT_TRUE(store.writeText("百度Token", "tok"));
    ConversionHistory history;
    ASSERT_TRUE(history.open(gbkPath(dir / "h.sqlite")).ok());
    ASSERT_TRUE(history.record("k", "http://a.test/", "http://s.test/").ok());
    // The batch's results file.
    ASSERT_TRUE(platform::createNewFile(dir / "results.txt"));
    umask(previous);
    for (const char* name : {"new.ini", "h.sqlite", "h.sqlite-wal", "h.sqlite-shm", "results.txt"})
        EXPECT_EQ(modeOf(name), 0600u) << name;

    // A file others may read keeps its mode; the token in it is said once per file and run.
    test::writeFile(dir / "old.ini", "[基本配置]\r\n短网址索引=1");
    ::chmod((dir / "old.ini").c_str(), 0644);
    ControlStateStore shared;
    ASSERT_TRUE(shared.bindFile((dir / "old.ini").string()));
    EXPECT_TRUE(shared.checkTokenPrivacy());
    shared.selectSection("基本配置");
    ASSERT_TRUE(shared.writeText("百度Token", "tok"));
    ASSERT_TRUE(shared.writeText("生成间隔秒", "2"));
    const Status first = shared.checkTokenPrivacy();
    ControlStateStore again;
    ASSERT_TRUE(again.bindFile((dir / "old.ini").string()));
    EXPECT_TRUE(again.checkTokenPrivacy());
    EXPECT_EQ(modeOf("old.ini"), 0644u);
    ASSERT_FALSE(first);
    EXPECT_NE(first.reason().find((dir / "old.ini").string()), std::string::npos) << first.reason();
}

#include "jobs/fileconvertersettings.h"

#include "store/controlstatestore.h"
#include "store/keytable.h"

namespace lianshuo {
namespace {

using S = FileConverterSettings;

constexpr const char* kSection = "文件短网址转换器";

// A list's mode is 1 for a regular expression; any other stored value reads
// as a wildcard list, as it always has.
constexpr NumberRange kModes{0, 1, Outside::Default, true};

// The keys in the order the window writes them on close.
constexpr SettingKey<S> kKeys[] = {
    flagSetting<&S::whiteListOn>("选择框白名单"),
    textSetting<&S::whiteList>("白名单"),
    flagSetting<&S::blackListOn>("选择框黑名单"),
    textSetting<&S::blackList>("黑名单"),
    numberSetting<&S::whiteListMode>("白名单模式", kModes),
    numberSetting<&S::blackListMode>("黑名单模式", kModes),
    textSetting<&S::folder>("文章目录"),
    textSetting<&S::pattern>("过滤"),
};

}  // namespace

FileConverterSettings defaultFileConverterSettings() {
    FileConverterSettings s;
    s.folder = "/包含长网址的文件所在目录";
    s.pattern = "*.htm";
    s.whiteListOn = true;
    s.whiteList = "s.click.taobao.com";
    s.whiteListMode = ListMode::Wildcard;
    s.blackListOn = false;
    s.blackList = "*.js|*.css|*.jpg|*.png|*.gif";
    s.blackListMode = ListMode::Wildcard;
    return s;
}

void loadFileConverterSettings(ControlStateStore& store, FileConverterSettings& s) {
    readKeys<S>(store, kSection, kKeys, s);
}

Status saveFileConverterSettings(ControlStateStore& store, const FileConverterSettings& s) {
    return saveKeys<S>(store, kSection, kKeys, s, defaultFileConverterSettings());
}

}  // namespace lianshuo

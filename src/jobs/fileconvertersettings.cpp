#include "jobs/fileconvertersettings.h"

#include "store/controlstatestore.h"

namespace lianshuo {
namespace {

constexpr const char* kSection = "文件短网址转换器";

// Any stored value but 1 reads as a wildcard list, as it always has.
ListMode toMode(double value) {
    return value == 1 ? ListMode::RegularExpression : ListMode::Wildcard;
}

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
    store.selectSection(kSection);
    s.whiteListOn = store.restoreCheckBox("选择框白名单", s.whiteListOn);
    s.whiteList = store.readText("白名单", s.whiteList);
    s.blackListOn = store.restoreCheckBox("选择框黑名单", s.blackListOn);
    s.blackList = store.readText("黑名单", s.blackList);
    s.whiteListMode = toMode(store.readNumber("白名单模式", static_cast<int>(s.whiteListMode)));
    s.blackListMode = toMode(store.readNumber("黑名单模式", static_cast<int>(s.blackListMode)));
    s.folder = store.readText("文章目录", s.folder);
    s.pattern = store.readText("过滤", s.pattern);
}

Status saveFileConverterSettings(ControlStateStore& store, const FileConverterSettings& s) {
    store.selectSection(kSection);
    ControlStateStore::Batch batch(store);
    batch.saveCheckBox("选择框白名单", s.whiteListOn);
    batch.writeText("白名单", s.whiteList);
    batch.saveCheckBox("选择框黑名单", s.blackListOn);
    batch.writeText("黑名单", s.blackList);
    batch.writeNumber("白名单模式", static_cast<int>(s.whiteListMode));
    batch.writeNumber("黑名单模式", static_cast<int>(s.blackListMode));
    batch.writeText("文章目录", s.folder);
    batch.writeText("过滤", s.pattern);
    return batch.commit();
}

}  // namespace lianshuo

#include "services/interfacestore.h"

#include "app/base/gbk.h"
#include "app/base/helpers.h"
#include "app/base/messages.h"
#include "store/controlstatestore.h"

namespace lianshuo {
namespace {

constexpr std::string_view kSectionPrefix = "短网址选项_";

}  // namespace

std::string interfaceName(const ShortUrlInterface& definition) {
    return hostOfUrl(definition.address);
}

std::string interfaceSection(std::string_view name) {
    return std::string(kSectionPrefix) + std::string(name);
}

bool saveInterface(const ShortUrlInterface& d, ControlStateStore& store) {
    store.selectSection(interfaceSection(interfaceName(d)));
    bool ok = store.writeNumber("调用模式", d.postMode ? 1 : 0);
    ok &= store.writeNumber("URL编码", d.utf8Encoding ? 1 : 0);
    ok &= store.writeText("POST数据", d.postTemplate);
    ok &= store.writeText("接口地址", d.address);
    ok &= store.writeBool("截取", d.cutEnabled);
    ok &= store.writeBool("逆向截取", d.reverseCut);
    ok &= store.writeText("左边字符", d.leftMarker);
    ok &= store.writeText("右边字符", d.rightMarker);
    ok &= store.writeBool("替换", d.replaceEnabled);
    ok &= store.writeText("欲替换", d.findList);
    ok &= store.writeText("替换为", d.replaceList);
    ok &= store.writeBool("插入", d.insertEnabled);
    ok &= store.writeText("前缀", d.prefix);
    ok &= store.writeText("后缀", d.suffix);
    return ok;
}

ShortUrlInterface loadInterface(std::string_view name, ControlStateStore& store) {
    store.selectSection(interfaceSection(name));
    ShortUrlInterface d;
    d.postMode = store.readNumber("调用模式", 0) != 0;
    d.utf8Encoding = store.readNumber("URL编码", 0) != 0;
    d.address = store.readText("接口地址");
    d.postTemplate = store.readText("POST数据");
    d.cutEnabled = store.readBool("截取");
    d.reverseCut = store.readBool("逆向截取");
    d.leftMarker = store.readText("左边字符");
    d.rightMarker = store.readText("右边字符");
    d.replaceEnabled = store.readBool("替换");
    d.findList = store.readText("欲替换");
    d.replaceList = store.readText("替换为");
    d.insertEnabled = store.readBool("插入");
    d.prefix = store.readText("前缀");
    d.suffix = store.readText("后缀");
    return d;
}

std::vector<std::string> listInterfaceNames(ControlStateStore& store) {
    std::vector<std::string> names = store.listSections(kSectionPrefix);
    for (std::string& name : names) name = replaceAll(name, kSectionPrefix, "");
    return names;
}

void deleteInterface(std::string_view name, ControlStateStore& store) {
    store.deleteEntry(interfaceSection(name), "");
}

void deleteAllInterfaces(ControlStateStore& store) {
    for (const std::string& section : store.listSections(kSectionPrefix)) {
        store.deleteEntry(section, "");
        processPendingMessages();
    }
}

bool exportInterface(const ShortUrlInterface& definition, std::string_view path) {
    ControlStateStore file;
    if (!file.bindFile(path)) return false;
    return saveInterface(definition, file);
}

ShortUrlInterface importInterface(std::string_view path, std::string* importedName) {
    ControlStateStore file;
    file.bindFile(path);
    const std::vector<std::string> names = listInterfaceNames(file);
    const std::string name = names.empty() ? std::string() : names.front();
    if (importedName) *importedName = name;
    return loadInterface(name, file);
}

}  // namespace lianshuo

#include "services/interfacestore.h"

#include <cerrno>

#include "app/base/gbk.h"
#include "app/base/helpers.h"
#include "app/base/paths.h"
#include "app/base/platform.h"
#include "store/controlstatestore.h"

namespace lianshuo {
namespace {

constexpr std::string_view kSectionPrefix = "短网址选项_";

bool isControlOrBracket(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F || c == '[' || c == ']';
}

// The fourteen keys in the order they are written.
void addInterface(const ShortUrlInterface& d, ControlStateStore::Batch& batch) {
    batch.selectSection(interfaceSection(interfaceName(d)));
    batch.writeNumber("调用模式", d.postMode ? 1 : 0);
    batch.writeNumber("URL编码", d.utf8Encoding ? 1 : 0);
    batch.writeText("POST数据", d.postTemplate);
    batch.writeText("接口地址", d.address);
    batch.writeBool("截取", d.cutEnabled);
    batch.writeBool("逆向截取", d.reverseCut);
    batch.writeText("左边字符", d.leftMarker);
    batch.writeText("右边字符", d.rightMarker);
    batch.writeBool("替换", d.replaceEnabled);
    batch.writeText("欲替换", d.findList);
    batch.writeText("替换为", d.replaceList);
    batch.writeBool("插入", d.insertEnabled);
    batch.writeText("前缀", d.prefix);
    batch.writeText("后缀", d.suffix);
}

}  // namespace

std::string interfaceName(const ShortUrlInterface& definition) {
    return hostOfUrl(definition.address);
}

std::string interfaceSection(std::string_view name) {
    return std::string(kSectionPrefix) + std::string(name);
}

Status checkInterfaceName(std::string_view name) {
    std::string shown;
    bool refused = false;
    for (const char c : name) {
        refused |= isControlOrBracket(c);
        shown.push_back(static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c);
    }
    if (!refused) return {};
    return Status::failed("接口名称“" + shown + "”含有换行、方括号或控制字符，不能保存。");
}

Status checkInterfaceAddress(std::string_view address) {
    // A line break in the address would end the request line and add headers to every request.
    for (const char c : address)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return Status::failed("接口地址含有换行或控制字符，不能保存。");
    return {};
}

Status saveInterface(const ShortUrlInterface& d, ControlStateStore& store) {
    if (Status name = checkInterfaceName(interfaceName(d)); !name) return name;
    if (Status address = checkInterfaceAddress(d.address); !address) return address;
    ControlStateStore::Batch batch(store);
    addInterface(d, batch);
    return batch.commit();
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

Status deleteInterface(std::string_view name, ControlStateStore& store) {
    ControlStateStore::Batch batch(store);
    batch.deleteEntry(interfaceSection(name), "");
    return batch.commit();
}

Status deleteAllInterfaces(ControlStateStore& store) {
    ControlStateStore::Batch batch(store);
    for (const std::string& section : store.listSections(kSectionPrefix))
        batch.deleteEntry(section, "");
    return batch.commit();
}

Status exportInterface(const ShortUrlInterface& definition, std::string_view path) {
    if (Status name = checkInterfaceName(interfaceName(definition)); !name) return name;
    ControlStateStore fresh;
    ControlStateStore::Batch batch(fresh);
    addInterface(definition, batch);
    const Result<std::string> bytes = batch.render();
    if (!bytes) return bytes.status();
    return platform::replaceFile(nativePath(path), *bytes).status();
}

Result<ShortUrlInterface> importInterface(std::string_view path, std::string* importedName) {
    // A store of its own that only reads: binding neither creates nor locks the file.
    const Result<platform::FileKind> kind = platform::fileKind(nativePath(path));
    if (kind && *kind == platform::FileKind::Missing) return platform::systemFailure(ENOENT);
    ControlStateStore file;
    if (Status bound = file.bindFile(path); !bound) return bound;
    const std::vector<std::string> names = listInterfaceNames(file);
    if (names.empty()) return Failure{0, "文件中没有接口（没有“短网址选项_”节）。"};
    const std::string& name = names.front();
    if (Status valid = checkInterfaceName(name); !valid) return valid;
    ShortUrlInterface definition = loadInterface(name, file);
    if (Status valid = checkInterfaceName(interfaceName(definition)); !valid) return valid;
    if (Status valid = checkInterfaceAddress(definition.address); !valid) return valid;
    if (importedName) *importedName = name;
    return definition;
}

}  // namespace lianshuo

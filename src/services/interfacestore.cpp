#include "services/interfacestore.h"

#include <algorithm>
#include <cerrno>

#include "base/gbk.h"
#include "base/helpers.h"
#include "base/paths.h"
#include "base/platform.h"
#include "services/fallbackchain.h"
#include "services/interfacekeys.h"
#include "services/interfacerules.h"
#include "services/sxcufile.h"
#include "store/controlstatestore.h"
#include "store/inicontent.h"
#include "store/sectionsecrets.h"
#include "store/settings.h"

namespace lianshuo {
namespace {

constexpr std::string_view kSectionPrefix = "短网址选项_";

bool isControlOrBracket(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F || c == '[' || c == ']';
}

// Every key in the order of the table: the fourteen always, the later ones
// only when they differ from their default (and removed when they went back
// to it, so no earlier value outlives the save).
void addInterface(const ShortUrlInterface& d, ControlStateStore::Batch& batch,
                  std::string_view name = {}) {
    const std::string section = interfaceSection(name.empty() ? interfaceName(d) : name);
    batch.selectSection(section);
    for (const InterfaceKey& key : interfaceKeys()) {
        if (key.optional && isDefaultValue(key, d)) {
            batch.deleteEntry(section, key.name);
        } else if (key.kind == KeyKind::Text) {
            batch.writeText(key.name, key.text(d));
        } else if (key.kind == KeyKind::Flag) {
            batch.writeBool(key.name, key.number(d) != 0);
        } else {
            batch.writeNumber(key.name, key.number(d));
        }
    }
}

// The secrets of the interface saved as `name`: one line per secret key.
SectionSecrets interfaceSecrets(std::string_view name, ShortUrlInterface& d) {
    return {interfaceSection(name),
            appTitle() + " 令牌：" + std::string(name),
            "钥匙串中没有该接口的",
            {{kTokenKey, &d.token},
             {kUsernameKey, &d.username, true},
             {kPasswordKey, &d.password, true}},
            &d.secretsInKeyring};
}

std::vector<std::string_view> secretKeys() {
    ShortUrlInterface unused;
    std::vector<std::string_view> keys;
    for (const SecretField& field : interfaceSecrets("", unused).fields) keys.push_back(field.key);
    return keys;
}

bool sectionInKeyring(const ControlStateStore& store, const std::string& section) {
    return ini::readRaw(store.content(), section, kSecretStorageKey).value_or("") == kInKeyring;
}

// Forgets the keyring's secrets of `sections` once the file no longer holds them.
void forgetSections(const ControlStateStore& store, const std::vector<std::string>& sections,
                    std::string* keyringNotice) {
    if (sections.empty() || !secretStore().available()) return;
    for (const std::string& section : sections) {
        const Status forgotten = forgetSecrets(store, section, secretKeys());
        if (!forgotten && keyringNotice)
            *keyringNotice = "接口已删除，但钥匙串中的令牌没能删除：" + forgotten.reason();
    }
}

}  // namespace

std::string interfaceName(const ShortUrlInterface& definition) {
    return definition.name.empty() ? hostOfUrl(definition.address) : definition.name;
}

namespace {

std::string hostAndPort(std::string_view address) {
    std::string host = hostOfUrl(address, true);
    const std::string_view defaultPort =
        startsWithNoCase(trimSpaces(address), "https://") ? ":443" : ":80";
    if (host.ends_with(defaultPort)) host.resize(host.size() - defaultPort.size());
    return host;
}

}  // namespace

std::string nameForSaving(const ShortUrlInterface& d, ControlStateStore& store) {
    if (!d.name.empty()) return d.name;
    const std::string bare = hostOfUrl(d.address);
    const std::string named = hostAndPort(d.address);
    if (named == bare) return bare;
    const std::vector<std::string> names = listInterfaceNames(store);
    const bool savedBare = std::find(names.begin(), names.end(), bare) != names.end() &&
                           hostAndPort(loadInterface(bare, store).address) == named;
    return savedBare ? bare : named;
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

Status checkInterface(const ShortUrlInterface& d) {
    if (Status name = checkInterfaceName(interfaceName(d)); !name) return name;
    if (Status address = checkInterfaceAddress(d.address); !address) return address;
    if (Status usable = checkInterfaceKeys(d, "；"); !usable) return usable;
    return {};
}

Status checkSavable(const ShortUrlInterface& d) {
    if (Status savable = checkInterface(d); !savable) return savable;
    // Without either, the section would be "短网址选项_" and list as an empty line.
    if (interfaceName(d).empty()) return Status::failed("接口没有地址，也没有名称，不能保存。");
    return {};
}

Status saveInterface(const ShortUrlInterface& d, ControlStateStore& store,
                     std::string* keyringNotice, std::string_view name) {
    if (Status savable = checkSavable(d); !savable) return savable;
    if (Status named = checkInterfaceName(name); !named) return named;
    const std::string section = name.empty() ? interfaceName(d) : std::string(name);
    const std::vector<std::string> names = listInterfaceNames(store);
    const Status chain =
        checkFallbacks(d, [&](std::string_view wanted) -> Result<ShortUrlInterface> {
            if (std::find(names.begin(), names.end(), wanted) == names.end())
                return Failure{0, std::string(wanted)};
            return loadInterface(wanted, store);
        });
    if (!chain) return chain;
    ShortUrlInterface kept = d;
    const Status inKeyring = keepSecrets(store, interfaceSecrets(section, kept));
    if (!inKeyring && keyringNotice) *keyringNotice = inKeyring.reason();
    ControlStateStore::Batch batch(store);
    addInterface(kept, batch, section);
    return batch.commit();
}

Status fetchInterfaceSecrets(std::string_view name, ShortUrlInterface& d,
                             const ControlStateStore& store) {
    return fetchSecrets(store, interfaceSecrets(name, d));
}

Result<ShortUrlInterface> loadSavedInterface(std::string_view name, ControlStateStore& store) {
    const std::vector<std::string> names = listInterfaceNames(store);
    if (std::find(names.begin(), names.end(), name) == names.end())
        return Failure{0, "没有名为“" + std::string(name) + "”的接口"};
    ShortUrlInterface d = loadInterface(name, store);
    if (Status fetched = fetchInterfaceSecrets(name, d, store); !fetched) return fetched;
    return d;
}

ShortUrlInterface loadInterface(std::string_view name, ControlStateStore& store) {
    store.selectSection(interfaceSection(name));
    ShortUrlInterface d;
    for (const InterfaceKey& key : interfaceKeys()) {
        if (key.kind == KeyKind::Text)
            key.setText(d, store.readText(key.name));
        else if (key.kind == KeyKind::Flag)
            key.setNumber(d, store.readBool(key.name) ? 1 : 0);
        else
            key.setNumber(d, store.readNumber(key.name, key.number(ShortUrlInterface())));
    }
    return d;
}

std::vector<std::string> listInterfaceNames(ControlStateStore& store) {
    std::vector<std::string> names = store.listSections(kSectionPrefix);
    for (std::string& name : names) name = replaceAll(name, kSectionPrefix, "");
    return names;
}

Status deleteInterface(std::string_view name, ControlStateStore& store,
                       std::string* keyringNotice) {
    const std::string section = interfaceSection(name);
    std::vector<std::string> held;
    if (sectionInKeyring(store, section)) held.push_back(section);
    ControlStateStore::Batch batch(store);
    batch.deleteEntry(section, "");
    // A deletion that did not reach the file is forgotten, so that the list shows the file.
    if (Status saved = batch.commit(ControlStateStore::OnFailure::Drop); !saved) return saved;
    forgetSections(store, held, keyringNotice);
    return {};
}

Status deleteAllInterfaces(ControlStateStore& store, std::string* keyringNotice) {
    std::vector<std::string> held;
    ControlStateStore::Batch batch(store);
    for (const std::string& section : store.listSections(kSectionPrefix)) {
        if (sectionInKeyring(store, section)) held.push_back(section);
        batch.deleteEntry(section, "");
    }
    if (Status saved = batch.commit(ControlStateStore::OnFailure::Drop); !saved) return saved;
    forgetSections(store, held, keyringNotice);
    return {};
}

Status exportInterface(const ShortUrlInterface& definition, std::string_view path, bool withToken) {
    if (Status savable = checkInterface(definition); !savable) return savable;
    if (withToken && definition.secretsInKeyring)
        return Status::failed("令牌在钥匙串中，还没有取出，不能连同令牌导出。");
    std::string bytes;
    if (isSxcuPath(path)) {
        Result<std::string> written = sxcuFromInterface(definition, withToken);
        if (!written) return written.status();
        bytes = std::move(*written);
    } else {
        ShortUrlInterface exported = definition;
        if (!withToken) {
            exported.token.clear();
            exported.username.clear();
            exported.password.clear();
        }
        // The keyring is this machine's: the file carries the token itself or none.
        exported.secretsInKeyring = false;
        ControlStateStore fresh;
        ControlStateStore::Batch batch(fresh);
        addInterface(exported, batch);
        Result<std::string> rendered = batch.render();
        if (!rendered) return rendered.status();
        bytes = std::move(*rendered);
    }
    return platform::replaceFile(nativePath(path), bytes).status();
}

Result<ShortUrlInterface> importInterface(std::string_view path, std::string* importedName) {
    // A store of its own that only reads: binding neither creates nor locks the file.
    const Result<platform::FileKind> kind = platform::fileKind(nativePath(path));
    if (kind && *kind == platform::FileKind::Missing) return platform::systemFailure(ENOENT);
    if (isSxcuPath(path)) {
        const Result<platform::FileContent> content = platform::readWholeFile(nativePath(path));
        if (!content) return content.status();
        Result<ShortUrlInterface> read = interfaceFromSxcu(content->bytes);
        if (!read) return read;
        if (Status valid = checkInterface(*read); !valid) return valid;
        if (importedName) *importedName = interfaceName(*read);
        return read;
    }
    ControlStateStore file;
    if (Status bound = file.bindFile(path); !bound) return bound;
    const std::vector<std::string> names = listInterfaceNames(file);
    if (names.empty()) return Failure{0, "文件中没有接口（没有“短网址选项_”节）。"};
    const std::string& name = names.front();
    if (Status valid = checkInterfaceName(name); !valid) return valid;
    ShortUrlInterface definition = loadInterface(name, file);
    if (trimSpaces(definition.address).empty())
        return Failure{0, "节“" + interfaceSection(name) + "”没有“接口地址”，不能导入。"};
    if (Status valid = checkInterface(definition); !valid) return valid;
    if (importedName) *importedName = name;
    return definition;
}

}  // namespace lianshuo

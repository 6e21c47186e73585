#include "store/sectionsecrets.h"

#include <filesystem>
#include <system_error>

#include "base/paths.h"
#include "store/controlstatestore.h"
#include "store/inicontent.h"

namespace lianshuo {
namespace {

bool heldInKeyring(const ControlStateStore& store, std::string_view section) {
    return ini::readRaw(store.content(), section, kSecretStorageKey).value_or("") == kInKeyring;
}

}  // namespace

SecretName secretNameIn(const ControlStateStore& store, std::string_view section,
                        std::string_view key) {
    // The same file named from another folder is the same file.
    std::error_code ec;
    std::filesystem::path file = std::filesystem::absolute(nativePath(store.path()), ec);
    if (ec) file = nativePath(store.path());
    return {gbkPath(file.lexically_normal()), std::string(section), std::string(key)};
}

Status keepSecrets(const ControlStateStore& store, const SectionSecrets& secrets) {
    bool any = false;
    for (const SecretField& field : secrets.fields) any |= !field.value->empty();
    SecretStore& keyring = secretStore();
    if (!any) {
        // Still in the keyring and not read from it: the file keeps saying so,
        // where its section is the one the keyring holds them for.
        if (*secrets.inKeyring) {
            *secrets.inKeyring = heldInKeyring(store, secrets.section);
            return {};
        }
        if (!heldInKeyring(store, secrets.section) || !keyring.available()) return {};
        std::vector<std::string_view> keys;
        for (const SecretField& field : secrets.fields) keys.push_back(field.key);
        return forgetSecrets(store, secrets.section, keys);
    }
    *secrets.inKeyring = false;
    if (!keyring.available()) return {};
    for (const SecretField& field : secrets.fields) {
        const SecretName name = secretNameIn(store, secrets.section, field.key);
        const Status stored = field.optional && field.value->empty()
                                  ? keyring.remove(name)
                                  : keyring.store(name, secrets.label, *field.value);
        if (!stored)
            return Status::failed("令牌未能存入钥匙串，仍保存在配置文件中：" + stored.reason());
    }
    for (const SecretField& field : secrets.fields) field.value->clear();
    *secrets.inKeyring = true;
    return {};
}

Status fetchSecrets(const ControlStateStore& store, const SectionSecrets& secrets) {
    if (!*secrets.inKeyring) return {};
    for (const SecretField& field : secrets.fields) {
        if (!field.value->empty()) continue;
        const Result<std::optional<std::string>> found =
            secretStore().lookup(secretNameIn(store, secrets.section, field.key));
        if (!found) return found.status();
        if (!*found && field.optional) continue;
        if (!*found) return Status::failed(secrets.missing + std::string(field.key));
        *field.value = **found;
    }
    *secrets.inKeyring = false;
    return {};
}

Status forgetSecrets(const ControlStateStore& store, std::string_view section,
                     const std::vector<std::string_view>& keys) {
    for (const std::string_view key : keys)
        if (Status removed = secretStore().remove(secretNameIn(store, section, key)); !removed)
            return removed;
    return {};
}

}  // namespace lianshuo

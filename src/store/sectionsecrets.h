#pragma once
// The secrets of a settings section (an interface's token, the Baidu token)
// kept in the system keyring instead of the file, when there is one: the
// section then holds "令牌存储=钥匙串" and the secrets' own keys stay empty, so
// an older program finds no token and says so. Without a keyring they stay in
// the file as they always were.

#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "base/secretstore.h"

namespace lianshuo {

class ControlStateStore;

/// "令牌存储": where the secrets of a section are, when not in it.
inline constexpr std::string_view kSecretStorageKey = "令牌存储";
/// Its value while the system keyring holds them.
inline constexpr std::string_view kInKeyring = "钥匙串";

/// One secret of a section: its key and the field holding its value.
struct SecretField {
    std::string_view key;
    std::string* value;
    // A secret that sections saved before it existed lack: the keyring holds it only when it
    // is set, and reads as empty when it holds none.
    bool optional = false;
};

/// The secrets of `section` in the file of `store`, and how they are kept.
struct SectionSecrets {
    std::string section;
    std::string label;    // what the keyring shows, e.g. "蓝棠·链梭 令牌：NAME"
    std::string missing;  // the failure when the keyring lacks one, without the key
    std::vector<SecretField> fields;
    bool* inKeyring;  // true while the keyring holds them and the fields do not
};

/// Where the secret `key` of `section` is filed: the absolute path of the
/// store's file, the section and the key.
SecretName secretNameIn(const ControlStateStore& store, std::string_view section,
                        std::string_view key);

/// Before a save: moves the secrets into the keyring when one is available
/// (emptying the fields and setting inKeyring), or leaves them for the file.
/// Removes the keyring's copies when the secrets were emptied. A failure says
/// why the keyring could not take them; they are then left for the file, so
/// nothing is lost and the save goes on.
Status keepSecrets(const ControlStateStore& store, const SectionSecrets& secrets);

/// After a read: while inKeyring, fills every empty field from the keyring
/// and clears inKeyring; a value the file holds wins, written there by an
/// older program. Fails when the keyring cannot be asked or lacks a secret.
Status fetchSecrets(const ControlStateStore& store, const SectionSecrets& secrets);

/// Removes the keyring's copies of the secrets `keys` of `section`; success
/// when it held none.
Status forgetSecrets(const ControlStateStore& store, std::string_view section,
                     const std::vector<std::string_view>& keys);

}  // namespace lianshuo

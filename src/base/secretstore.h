#pragma once
// Secrets kept away from the settings file: the system keyring (the Secret
// Service on POSIX desktops) behind one small interface, so that the store,
// the services, the command line and the window share it and tests put a fake
// in its place. Every text crosses as GBK, like every text inside.

#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"

namespace lianshuo {

/// Where one secret is filed: the settings file it belongs to (an absolute
/// path), the section and the key it would have in that file.
struct SecretName {
    std::string file;
    std::string section;
    std::string key;
};

class SecretStore {
public:
    virtual ~SecretStore() = default;
    /// True when secrets can be kept here; answers at once when there is no keyring.
    virtual bool available() = 0;
    /// The secret filed under `name`; nothing when none is; a failure when the keyring cannot be
    /// asked.
    virtual Result<std::optional<std::string>> lookup(const SecretName& name) = 0;
    /// Files `secret` under `name`, replacing what was there; `label` is what the user sees.
    virtual Status store(const SecretName& name, std::string_view label,
                         std::string_view secret) = 0;
    /// Removes the secret filed under `name`; success when there was none.
    virtual Status remove(const SecretName& name) = 0;
};

/// The system keyring of this platform.
SecretStore& systemSecretStore();

/// The store the program keeps secrets in: the system keyring unless a test
/// chose another with useSecretStore.
SecretStore& secretStore();

/// Makes `store` the one secretStore() gives (null: the system keyring again).
void useSecretStore(SecretStore* store);

}  // namespace lianshuo

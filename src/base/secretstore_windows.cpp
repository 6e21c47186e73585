// The Windows side of the keyring: not written yet. It reports the keyring
// unavailable, so every secret stays in the settings file as before.

#include "base/secretstore.h"

namespace lianshuo {
namespace {

class NoKeyring final : public SecretStore {
public:
    bool available() override { return false; }
    Result<std::optional<std::string>> lookup(const SecretName&) override { return unavailable(); }
    Status store(const SecretName&, std::string_view, std::string_view) override {
        return unavailable();
    }
    Status remove(const SecretName&) override { return unavailable(); }

private:
    static Failure unavailable() { return {0, "这个系统上还没有钥匙串"}; }
};

}  // namespace

SecretStore& systemSecretStore() {
    static NoKeyring none;
    return none;
}

}  // namespace lianshuo

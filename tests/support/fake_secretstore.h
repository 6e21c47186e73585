#pragma once
// A keyring in memory, put in the system keyring's place for the life of a
// scope, that can also be unavailable or refuse what it is given.

#include <map>
#include <optional>
#include <string>
#include <tuple>

#include "base/secretstore.h"

namespace lianshuo::test {

class FakeSecretStore final : public SecretStore {
public:
    FakeSecretStore() { useSecretStore(this); }
    ~FakeSecretStore() override { useSecretStore(nullptr); }
    FakeSecretStore(const FakeSecretStore&) = delete;
    FakeSecretStore& operator=(const FakeSecretStore&) = delete;

    bool available() override { return up; }
    Result<std::optional<std::string>> lookup(const SecretName& name) override {
        if (!up) return Failure{0, "钥匙串不可用"};
        const auto found = secrets.find(keyOf(name));
        if (found == secrets.end()) return std::optional<std::string>();
        return std::optional<std::string>(found->second);
    }
    Status store(const SecretName& name, std::string_view, std::string_view secret) override {
        if (!up || refuse) return Status::failed("钥匙串拒绝了");
        secrets[keyOf(name)] = std::string(secret);
        return {};
    }
    Status remove(const SecretName& name) override {
        if (!up) return Status::failed("钥匙串不可用");
        secrets.erase(keyOf(name));
        return {};
    }

    using Key = std::tuple<std::string, std::string, std::string>;
    static Key keyOf(const SecretName& name) { return {name.file, name.section, name.key}; }

    bool up = true;
    bool refuse = false;
    std::map<Key, std::string> secrets;
};

}  // namespace lianshuo::test

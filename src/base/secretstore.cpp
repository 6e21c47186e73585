#include "base/secretstore.h"

#include <atomic>

namespace lianshuo {
namespace {

std::atomic<SecretStore*> chosen{nullptr};

}  // namespace

SecretStore& secretStore() {
    SecretStore* store = chosen.load();
    return store ? *store : systemSecretStore();
}

void useSecretStore(SecretStore* store) {
    chosen.store(store);
}

}  // namespace lianshuo

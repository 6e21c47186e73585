#include "services/builtinhosts.h"

#include "store/controlstatestore.h"
#include "store/keytable.h"

namespace lianshuo {
namespace {

using H = BuiltinHosts;

constexpr SettingKey<H> kHostKeys[] = {
    textSetting<&H::baidu>("百度主机", Written::ByHand),
    textSetting<&H::weibo>("新浪主机", Written::ByHand),
    textSetting<&H::relay>("新浪中转主机", Written::ByHand),
    textSetting<&H::tinyurl>("国外主机", Written::ByHand),
};

}  // namespace

BuiltinHosts defaultBuiltinHosts() {
    return {"dwz.cn", "t.cn", "weibo-relay.lantang.example", "tinyurl.com"};
}

BuiltinHosts readBuiltinHosts(ControlStateStore& store) {
    BuiltinHosts hosts = defaultBuiltinHosts();
    readKeys<H>(store, "内置服务", kHostKeys, hosts);
    return hosts;
}

}  // namespace lianshuo

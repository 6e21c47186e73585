#include "services/builtinhosts.h"

#include "store/controlstatestore.h"

namespace lianshuo {

BuiltinHosts defaultBuiltinHosts() {
    return {"dwz.cn", "t.cn", "weibo-relay.lantang.example", "tinyurl.com"};
}

BuiltinHosts readBuiltinHosts(ControlStateStore& store) {
    const std::string previous = store.section();
    store.selectSection("内置服务");
    const BuiltinHosts defaults = defaultBuiltinHosts();
    BuiltinHosts hosts{store.readText("百度主机", defaults.baidu),
                       store.readText("新浪主机", defaults.weibo),
                       store.readText("新浪中转主机", defaults.relay),
                       store.readText("国外主机", defaults.tinyurl)};
    store.selectSection(previous);
    return hosts;
}

}  // namespace lianshuo

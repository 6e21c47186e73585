#pragma once
// Hosts of the built-in services. Users may point them elsewhere by hand in
// the settings file (section "内置服务"); the program never writes them.

#include <string>

namespace lianshuo {

class ControlStateStore;

struct BuiltinHosts {
    std::string baidu;    // "百度主机"
    std::string weibo;    // "新浪主机": shown to the user
    std::string relay;    // "新浪中转主机": the page that actually shortens for Weibo
    std::string tinyurl;  // "国外主机"
};

/// The hosts in the store's file, each falling back to its default.
BuiltinHosts readBuiltinHosts(ControlStateStore& store);

/// The default hosts.
BuiltinHosts defaultBuiltinHosts();

}  // namespace lianshuo

#pragma once
// The keys of an interface section, their kinds and their fields: one table
// that the settings, the export files and the presets all read and write by.

#include <string>
#include <string_view>
#include <vector>

#include "services/shorturlinterface.h"
#include "store/keytable.h"

namespace lianshuo {

struct InterfaceKey {
    std::string_view name;  // the INI key, e.g. "调用模式"
    KeyKind kind;
    // One of the keys added after the first fourteen: written only when it
    // differs from its default, so older programs read the section unchanged.
    bool optional;
    double (*number)(const ShortUrlInterface&);        // Number and Flag keys
    void (*setNumber)(ShortUrlInterface&, double);     // Number and Flag keys
    std::string (*text)(const ShortUrlInterface&);     // Text keys
    void (*setText)(ShortUrlInterface&, std::string);  // Text keys
};

/// Every key of an interface section, in write order: the fourteen, then the optional ones.
const std::vector<InterfaceKey>& interfaceKeys();

/// The key called `name`, or null.
const InterfaceKey* findInterfaceKey(std::string_view name);

/// True when an optional key holds its default in `definition` and is left out of the section.
bool isDefaultValue(const InterfaceKey& key, const ShortUrlInterface& definition);

/// The key "令牌", which exports leave out unless asked and listings mask.
inline constexpr std::string_view kTokenKey = "令牌";
/// The credentials, secrets as the token is.
inline constexpr std::string_view kUsernameKey = "用户名";
inline constexpr std::string_view kPasswordKey = "密码";

/// True for the keys whose values are secrets: "令牌", "用户名" and "密码".
bool isSecretKey(std::string_view name);

}  // namespace lianshuo

#pragma once
// Ready interfaces for today's short-link services, shipped as data
// (data/presets.json) and filled in with the user's host and token.

#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "services/shorturlinterface.h"

namespace lianshuo {

struct InterfacePreset {
    std::string name;         // "bitly": what --preset and the panel's list call it
    std::string description;  // GBK, one line
    std::string host;         // "https://api-ssl.bitly.com"; empty: self-hosted, the user names it
    std::string tokenLabel;  // what "#令牌#" stands for ("访问令牌"); empty when none is needed
    std::string usernameLabel;  // what "#用户名#" stands for ("电子邮箱"); empty: not needed
    std::string passwordLabel;  // what "#密码#" stands for; empty: not needed
    ShortUrlInterface definition;  // its address starts with "#主机#"
};

/// The catalogue, in its order; empty when the shipped data could not be read.
const std::vector<InterfacePreset>& interfacePresets();

/// Success, or why the shipped data could not be read.
const Status& interfacePresetsLoaded();

/// The preset called `name` (any letter case), or null.
const InterfacePreset* findPreset(std::string_view name);

/// What the user still has to give: "访问令牌", "用户名：电子邮箱，密码：…"; empty when nothing.
std::string presetNeeds(const InterfacePreset& preset);

/// The preset's interface at `host` ("s.example.test", "http://127.0.0.1:8080",
/// "https://example.com/yourls"; empty: the preset's own host) with `token`; a token
/// request is sent to the same host.
/// A bare host name gets "https://"; a "/" at the end is dropped. Fails, saying
/// why, without a host for a self-hosted preset or with one that is no address.
Result<ShortUrlInterface> instantiatePreset(const InterfacePreset& preset, std::string_view host,
                                            std::string_view token);

}  // namespace lianshuo

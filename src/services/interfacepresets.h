#pragma once
// Ready interfaces for today's short-link services, shipped as data
// (data/presets.json) and filled in with the user's host and token.

#include <string>
#include <string_view>
#include <vector>

#include "services/shorturlinterface.h"

namespace lianshuo {

struct InterfacePreset {
    std::string name;         // "bitly": what --preset and the panel's list call it
    std::string description;  // GBK, one line
    std::string host;         // "https://api-ssl.bitly.com"; empty: self-hosted, the user names it
    std::string tokenLabel;  // what "#令牌#" stands for ("访问令牌"); empty when none is needed
    ShortUrlInterface definition;  // its address starts with "#主机#"
};

/// The catalogue, in its order; empty when the shipped data could not be read.
const std::vector<InterfacePreset>& interfacePresets();

/// Why the shipped data could not be read; empty when it was.
const std::string& interfacePresetsProblem();

/// The preset called `name` (any letter case), or null.
const InterfacePreset* findPreset(std::string_view name);

/// A preset made into an interface, or why it cannot be.
struct PresetInterface {
    ShortUrlInterface definition;
    std::string problem;  // GBK; empty on success
};

/// The preset's interface at `host` ("s.example.test", "http://127.0.0.1:8080",
/// "https://example.com/yourls"; empty: the preset's own host) with `token`.
/// A bare host name gets "https://"; a "/" at the end is dropped.
PresetInterface instantiatePreset(const InterfacePreset& preset, std::string_view host,
                                  std::string_view token);

}  // namespace lianshuo

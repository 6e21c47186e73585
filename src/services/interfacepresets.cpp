#include "services/interfacepresets.h"

#include <nlohmann/json.hpp>

#include "base/charset.h"
#include "base/gbk.h"
#include "services/interfacekeys.h"

namespace lianshuo {

extern const unsigned char kPresetsJson[];
extern const std::size_t kPresetsJsonSize;

namespace {

constexpr std::string_view kHostPlaceholder = "#主机#";

struct Catalogue {
    std::vector<InterfacePreset> presets;
    Status loaded;
};

// `member` is GBK, as every literal here; the data's names are UTF-8.
std::string textOf(const nlohmann::json& object, std::string_view member) {
    const auto found = object.find(toUtf8(member));
    return found != object.end() && found->is_string() ? fromUtf8(found->get<std::string>())
                                                       : std::string();
}

// One preset's keys, named and typed as in an interface section; false on a key it does not know.
bool readKeys(const nlohmann::json& keys, ShortUrlInterface& d, std::string& problem) {
    for (const auto& [member, value] : keys.items()) {
        const std::string name = fromUtf8(member);
        const InterfaceKey* key = findInterfaceKey(name);
        const bool fits = key != nullptr &&
                          (key->kind == KeyKind::Text ? value.is_string()
                                                      : value.is_number() || value.is_boolean());
        if (!fits) {
            problem = "键“" + name + "”未知或类型不对";
            return false;
        }
        if (key->kind == KeyKind::Text)
            key->setText(d, fromUtf8(value.get<std::string>()));
        else
            key->setNumber(
                d, value.is_boolean() ? (value.get<bool>() ? 1.0 : 0.0) : value.get<double>());
    }
    return true;
}

Catalogue readCatalogue() {
    Catalogue out;
    const std::string text(reinterpret_cast<const char*>(kPresetsJson), kPresetsJsonSize);
    const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
    if (!json.is_array()) {
        out.loaded = Status::failed("预设数据不是 JSON 数组");
        return out;
    }
    for (const nlohmann::json& entry : json) {
        InterfacePreset preset;
        preset.name = textOf(entry, "名称");
        preset.description = textOf(entry, "说明");
        preset.host = textOf(entry, "主机");
        preset.tokenLabel = textOf(entry, "令牌");
        preset.usernameLabel = textOf(entry, "用户名");
        preset.passwordLabel = textOf(entry, "密码");
        const auto keys = entry.find(toUtf8("接口"));
        std::string problem = preset.name.empty() ? "缺少名称" : "";
        if (problem.empty() && (keys == entry.end() || !keys->is_object())) problem = "缺少“接口”";
        if (problem.empty()) readKeys(*keys, preset.definition, problem);
        if (!problem.empty()) {
            out.loaded = Status::failed("预设“" + preset.name + "”：" + problem);
            out.presets.clear();
            return out;
        }
        out.presets.push_back(std::move(preset));
    }
    return out;
}

const Catalogue& catalogue() {
    static const Catalogue instance = readCatalogue();
    return instance;
}

bool holdsSpaceOrControl(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return true;
    return false;
}

}  // namespace

const std::vector<InterfacePreset>& interfacePresets() {
    return catalogue().presets;
}

const Status& interfacePresetsLoaded() {
    return catalogue().loaded;
}

const InterfacePreset* findPreset(std::string_view name) {
    for (const InterfacePreset& preset : interfacePresets())
        if (toLowerAscii(preset.name) == toLowerAscii(name)) return &preset;
    return nullptr;
}

std::string presetNeeds(const InterfacePreset& preset) {
    std::string needs = preset.tokenLabel;
    const auto add = [&](std::string_view what, const std::string& label) {
        if (label.empty()) return;
        if (!needs.empty()) needs += "，";
        needs += std::string(what) + "：" + label;
    };
    add("用户名", preset.usernameLabel);
    add("密码", preset.passwordLabel);
    return needs;
}

Result<ShortUrlInterface> instantiatePreset(const InterfacePreset& preset, std::string_view host,
                                            std::string_view token) {
    std::string base = trimSpaces(host.empty() ? std::string_view(preset.host) : host);
    if (base.empty()) return Failure{0, "预设“" + preset.name + "”是自建的服务，须指定其主机"};
    if (!startsWithNoCase(base, "http://") && !startsWithNoCase(base, "https://"))
        base.insert(0, "https://");
    const std::size_t hostStart = base.find("//") + 2;
    while (base.size() > hostStart && base.ends_with('/')) base.pop_back();
    if (base.size() <= hostStart || base[hostStart] == '/' || holdsSpaceOrControl(base) ||
        base.find('#') != npos)
        return Failure{0, "主机“" + std::string(host) + "”不是有效的地址"};
    ShortUrlInterface out = preset.definition;
    out.address = replaceAll(out.address, kHostPlaceholder, base);
    out.tokenUrl = replaceAll(out.tokenUrl, kHostPlaceholder, base);
    out.token = token;
    return out;
}

}  // namespace lianshuo

#include "services/interfacekeys.h"

#include <algorithm>

#include "services/interfacerules.h"
#include "services/tokenrequest.h"
#include "store/sectionsecrets.h"

namespace lianshuo {
namespace {

using D = ShortUrlInterface;

// A stored number made into an int field; values beyond the field's range are clamped.
long clampedWhole(double value, long low, long high) {
    if (!(value >= static_cast<double>(low))) return low;  // NaN too
    if (value >= static_cast<double>(high)) return high;
    return static_cast<long>(value);
}

template <bool D::*Field>
InterfaceKey flagKey(std::string_view name) {
    return {name,
            KeyKind::Flag,
            false,
            [](const D& d) { return d.*Field ? 1.0 : 0.0; },
            [](D& d, double v) { d.*Field = v != 0; },
            nullptr,
            nullptr};
}

template <std::string D::*Field>
InterfaceKey textKey(std::string_view name, bool optional = false) {
    return {name,
            KeyKind::Text,
            optional,
            nullptr,
            nullptr,
            [](const D& d) { return d.*Field; },
            [](D& d, std::string v) { d.*Field = std::move(v); }};
}

}  // namespace

const std::vector<InterfaceKey>& interfaceKeys() {
    static const std::vector<InterfaceKey> keys{
        // Every method with a body is written as POST, which is what an older program sends.
        {"调用模式", KeyKind::Number, false,
         [](const D& d) { return methodSendsBody(requestMethod(d)) ? 1.0 : 0.0; },
         [](D& d, double v) { d.postMode = v != 0; }, nullptr, nullptr},
        {"URL编码", KeyKind::Number, false, [](const D& d) { return d.utf8Encoding ? 1.0 : 0.0; },
         [](D& d, double v) { d.utf8Encoding = v != 0; }, nullptr, nullptr},
        textKey<&D::postTemplate>("POST数据"),
        textKey<&D::address>("接口地址"),
        flagKey<&D::cutEnabled>("截取"),
        flagKey<&D::reverseCut>("逆向截取"),
        textKey<&D::leftMarker>("左边字符"),
        textKey<&D::rightMarker>("右边字符"),
        flagKey<&D::replaceEnabled>("替换"),
        textKey<&D::findList>("欲替换"),
        textKey<&D::replaceList>("替换为"),
        flagKey<&D::insertEnabled>("插入"),
        textKey<&D::prefix>("前缀"),
        textKey<&D::suffix>("后缀"),
        textKey<&D::name>("接口名称", true),
        // GET and POST are what "调用模式" says; only PUT and PATCH need the key.
        {"请求方法", KeyKind::Text, true, nullptr, nullptr,
         [](const D& d) {
             const std::string method = requestMethod(d);
             return method == "GET" || method == "POST" ? std::string() : method;
         },
         [](D& d, std::string v) {
             if (!setRequestMethod(d, v)) d.method = std::move(v);
         }},
        textKey<&D::headers>("请求头", true),
        {"请求格式", KeyKind::Number, true,
         [](const D& d) { return static_cast<double>(static_cast<int>(d.bodyFormat)); },
         [](D& d, double v) { d.bodyFormat = static_cast<BodyFormat>(clampedWhole(v, -1, 99)); },
         nullptr, nullptr},
        textKey<&D::token>(kTokenKey, true),
        {kSecretStorageKey, KeyKind::Text, true, nullptr, nullptr,
         [](const D& d) { return d.secretsInKeyring ? std::string(kInKeyring) : std::string(); },
         [](D& d, std::string v) { d.secretsInKeyring = v == kInKeyring; }},
        textKey<&D::username>(kUsernameKey, true),
        textKey<&D::password>(kPasswordKey, true),
        textKey<&D::tokenUrl>("令牌地址", true),
        textKey<&D::tokenMethod>("令牌请求方法", true),
        textKey<&D::tokenHeaders>("令牌请求头", true),
        {"令牌请求格式", KeyKind::Number, true,
         [](const D& d) { return static_cast<double>(static_cast<int>(d.tokenBodyFormat)); },
         [](D& d, double v) {
             d.tokenBodyFormat = static_cast<BodyFormat>(clampedWhole(v, -1, 99));
         },
         nullptr, nullptr},
        textKey<&D::tokenBody>("令牌请求正文", true),
        textKey<&D::tokenPath>("令牌提取", true),
        {"令牌有效秒", KeyKind::Number, true,
         [](const D& d) { return static_cast<double>(d.tokenLifetimeSeconds); },
         [](D& d, double v) {
             d.tokenLifetimeSeconds = clampedWhole(v, -1, kLongestTokenLifetime + 1);
         },
         nullptr, nullptr},
        {"提取方式", KeyKind::Number, true,
         [](const D& d) { return static_cast<double>(static_cast<int>(d.extractKind)); },
         [](D& d, double v) { d.extractKind = static_cast<ExtractKind>(clampedWhole(v, -1, 99)); },
         nullptr, nullptr},
        textKey<&D::extractExpression>("提取表达式", true),
        textKey<&D::errorExpression>("错误表达式", true),
        textKey<&D::successStatuses>("成功状态码", true),
        textKey<&D::successRule>("成功表达式", true),
        textKey<&D::throttleRule>("限流表达式", true),
        {"间隔毫秒", KeyKind::Number, true,
         [](const D& d) { return static_cast<double>(d.pauseMs); },
         [](D& d, double v) { d.pauseMs = clampedWhole(v, -1, kLongestPauseMs + 1); }, nullptr,
         nullptr},
        textKey<&D::resultTemplate>("结果模板", true),
        textKey<&D::fallbacks>("备用接口", true),
    };
    return keys;
}

const InterfaceKey* findInterfaceKey(std::string_view name) {
    const std::vector<InterfaceKey>& keys = interfaceKeys();
    const auto found = std::find_if(keys.begin(), keys.end(),
                                    [&](const InterfaceKey& key) { return key.name == name; });
    return found == keys.end() ? nullptr : &*found;
}

bool isSecretKey(std::string_view name) {
    return name == kTokenKey || name == kUsernameKey || name == kPasswordKey;
}

bool isDefaultValue(const InterfaceKey& key, const ShortUrlInterface& d) {
    static const ShortUrlInterface defaults;
    if (key.kind == KeyKind::Text) return key.text(d) == key.text(defaults);
    return key.number(d) == key.number(defaults);
}

}  // namespace lianshuo

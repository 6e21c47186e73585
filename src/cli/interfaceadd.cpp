// interfaces add, test and presets: an interface from a preset or from one
// option per key, the panel's test of a saved one, and the catalogue.

#include <atomic>
#include <charconv>
#include <cstdlib>
#include <istream>
#include <tuple>

#include "base/charset.h"
#include "base/gbk.h"
#include "base/makerlinks.h"
#include "cli/outcomejson.h"
#include "cli/progressline.h"
#include "cli/session.h"
#include "services/interfacepresets.h"
#include "services/interfacerequest.h"
#include "services/interfacerules.h"
#include "services/interfacestore.h"
#include "services/tokenrequest.h"

namespace lianshuo::cli {
namespace {

// The header lines of `d` with `line` added, replacing a line of the same name.
std::string withHeader(const std::string& headers, const std::string& line) {
    const auto nameOf = [](const std::string& text) {
        return toLowerAscii(trimSpaces(std::string_view(text).substr(0, text.find(':'))));
    };
    std::vector<std::string> lines;
    for (std::string& existing : headerLinesOf(headers))
        if (nameOf(existing) != nameOf(line)) lines.push_back(std::move(existing));
    lines.push_back(line);
    return joinText(lines, "\r\n");
}

template <typename Enum>
bool pickWord(const std::string& word, std::initializer_list<const char*> words, Enum& value) {
    int index = 0;
    for (const char* candidate : words) {
        if (word == candidate) {
            value = static_cast<Enum>(index);
            return true;
        }
        ++index;
    }
    return false;
}

// Reads the options of the extraction and the result: cut, replace, prefix and suffix.
Status applyReplyOptions(const Options& o, ShortUrlInterface& d) {
    if (o.extract && !pickWord(*o.extract, {"cut", "json", "regex", "header"}, d.extractKind))
        return Status::failed("--extract 只能是 cut、json、regex 或 header，而不是“" + *o.extract +
                              "”");
    if (o.expression) d.extractExpression = *o.expression;
    if (o.left || o.right || o.reverse) {
        d.cutEnabled = true;
        d.leftMarker = o.left.value_or(d.leftMarker);
        d.rightMarker = o.right.value_or(d.rightMarker);
        d.reverseCut = o.reverse;
    }
    if (!o.replacements.empty()) {
        std::vector<std::string> finds, replacements;
        for (const std::string& pair : o.replacements) {
            const std::size_t equals = pair.find('=');
            // "|" separates the pairs where they are stored.
            if (equals == std::string::npos || equals == 0 || pair.find('|') != std::string::npos)
                return Status::failed("--replace 需要不含“|”的 FIND=REPLACEMENT，而不是“" + pair +
                                      "”");
            finds.push_back(pair.substr(0, equals));
            replacements.push_back(pair.substr(equals + 1));
        }
        d.replaceEnabled = true;
        d.findList = joinText(finds, "|");
        d.replaceList = joinText(replacements, "|");
    }
    if (o.prefix || o.suffix) {
        d.insertEnabled = true;
        d.prefix = o.prefix.value_or(d.prefix);
        d.suffix = o.suffix.value_or(d.suffix);
    }
    if (o.error) d.errorExpression = *o.error;
    if (o.success) d.successStatuses = *o.success;
    if (o.successRule) d.successRule = *o.successRule;
    if (o.throttleRule) d.throttleRule = *o.throttleRule;
    if (o.shortFrom) d.resultTemplate = *o.shortFrom;
    if (o.fallbacks) d.fallbacks = *o.fallbacks;
    if (o.pause) {
        long ms = -1;
        const auto [end, ec] =
            std::from_chars(o.pause->data(), o.pause->data() + o.pause->size(), ms);
        if (ec != std::errc() || end != o.pause->data() + o.pause->size() || ms < 0 ||
            ms > kLongestPauseMs)
            return Status::failed("--pause 需要 0 到 600000 之间的毫秒数，而不是“" + *o.pause +
                                  "”");
        d.pauseMs = ms;
    }
    return {};
}

// Reads the credentials and the options of the token request.
Status applyTokenOptions(const Options& o, ShortUrlInterface& d) {
    if (o.username) d.username = *o.username;
    if (o.password) d.password = *o.password;
    if (o.tokenUrl) d.tokenUrl = *o.tokenUrl;
    if (o.tokenMethod) {
        const std::string method = toLowerAscii(*o.tokenMethod);
        if (method != "get" && method != "post")
            return Status::failed("--token-method 只能是 GET 或 POST，而不是“" + *o.tokenMethod +
                                  "”");
        d.tokenMethod = method == "get" ? "GET" : "";
    }
    for (const std::string& line : o.tokenHeaders)
        d.tokenHeaders = withHeader(d.tokenHeaders, line);
    if (o.tokenFormat && !pickWord(*o.tokenFormat, {"form", "json"}, d.tokenBodyFormat))
        return Status::failed("--token-format 只能是 form 或 json，而不是“" + *o.tokenFormat + "”");
    if (o.tokenBody) d.tokenBody = *o.tokenBody;
    if (o.tokenPath) d.tokenPath = *o.tokenPath;
    if (o.tokenTtl) {
        long seconds = -1;
        const auto [end, ec] =
            std::from_chars(o.tokenTtl->data(), o.tokenTtl->data() + o.tokenTtl->size(), seconds);
        if (ec != std::errc() || end != o.tokenTtl->data() + o.tokenTtl->size() || seconds < 0 ||
            seconds > kLongestTokenLifetime)
            return Status::failed("--token-ttl 只能是 0 到 " +
                                  std::to_string(kLongestTokenLifetime) + " 秒，而不是“" +
                                  *o.tokenTtl + "”");
        d.tokenLifetimeSeconds = seconds;
    }
    return {};
}

Result<ShortUrlInterface> buildInterface(const Options& o) {
    ShortUrlInterface d;
    if (o.preset) {
        const InterfacePreset* preset = findPreset(*o.preset);
        if (!preset)
            return Failure{0, "未知预设“" + *o.preset + "”（见 lianshuo interfaces presets）"};
        Result<ShortUrlInterface> made =
            instantiatePreset(*preset, o.host.value_or(""), o.token.value_or(""));
        if (!made) return Failure{0, made.reason() + "（--host）"};
        d = std::move(*made);
    } else if (o.host) {
        return Failure{0, "--host 要与 --preset 一起使用"};
    }
    if (o.address) d.address = *o.address;
    if (trimSpaces(d.address).empty())
        return Failure{0, "interfaces add 需要 --address 或 --preset"};
    if (o.token) d.token = *o.token;
    if (o.name) d.name = *o.name;
    if (o.utf8) d.utf8Encoding = true;
    if (o.body) {
        d.postTemplate = *o.body;
        if (!d.postMode) setRequestMethod(d, "POST");  // a body is sent with POST unless told
    }
    if (o.method && !setRequestMethod(d, *o.method))
        return Failure{0, "--method 只能是 GET、POST、PUT 或 PATCH，而不是“" + *o.method + "”"};
    for (const std::string& line : o.headers) d.headers = withHeader(d.headers, line);
    if (o.format && !pickWord(*o.format, {"form", "json", "multipart", "raw"}, d.bodyFormat))
        return Failure{0,
                       "--format 只能是 form、json、multipart 或 raw，而不是“" + *o.format + "”"};
    if (Status applied = applyReplyOptions(o, d); !applied) return applied;
    if (Status applied = applyTokenOptions(o, d); !applied) return applied;
    return d;
}

// Terminals speak UTF-8; a token typed in GBK is taken as its bytes.
std::string fromTokenText(const std::string& bytes) {
    return isValidUtf8(bytes) ? fromUtf8(bytes) : bytes;
}

// The secrets given as "-": one line of standard input each (its line break dropped), in
// the order --token, --username, --password. Without --token the token is taken from
// $LIANSHUO_TOKEN. Both keep a secret out of the process list.
const char* secretName(std::string_view option) {
    return option == "--username" ? "用户名" : option == "--password" ? "密码" : "令牌";
}

Status resolveSecrets(Options& o, std::istream& in) {
    for (const auto& [option, value] :
         {std::pair<const char*, std::optional<std::string>*>{"--token", &o.token},
          {"--username", &o.username},
          {"--password", &o.password}}) {
        if (!*value || **value != "-") continue;
        std::string line;
        if (!std::getline(in, line) && line.empty())
            return Status::failed(std::string(option) + " - 从标准输入读取" + secretName(option) +
                                  "，但标准输入是空的");
        if (!line.empty() && line.back() == '\r') line.pop_back();
        *value = fromTokenText(line);
    }
    if (const char* given = std::getenv("LIANSHUO_TOKEN"); !o.token && given && *given)
        o.token = fromTokenText(given);
    return {};
}

}  // namespace

int runInterfaceAdd(Session& session, const Options& given, Console& console) {
    Options options = given;
    if (const Status secrets = resolveSecrets(options, console.in); !secrets)
        return fail(console, secrets.reason());
    const Result<ShortUrlInterface> built = buildInterface(options);
    if (!built) return fail(console, built.reason());
    const ShortUrlInterface& d = *built;
    // A port beside the host names a second service on it.
    const std::string name = nameForSaving(d, session.store());
    std::string keyringNotice;
    if (const Status saved = saveInterface(d, session.store(), &keyringNotice, name); !saved)
        return fail(console, "无法保存接口：" + saved.reason());
    if (!keyringNotice.empty()) print(console.err, "lianshuo: 警告：" + keyringNotice + "\n");
    print(console.out, name);
    console.out << '\n';
    if (d.token.empty() && interfaceUsesToken(d))
        print(console.err, "lianshuo: 这个接口在 #令牌# 处需要令牌；请加上 --token 再添加一次\n");
    for (const auto& [option, placeholder, value] :
         {std::tuple<const char*, const char*, const std::string&>{"--username", "#用户名#",
                                                                   d.username},
          {"--password", "#密码#", d.password}}) {
        const bool used =
            interfaceUses(d, placeholder) ||
            (hasTokenRequest(d) && interfaceUses(tokenRequestInterface(d), placeholder));
        if (value.empty() && used)
            print(console.err, std::string("lianshuo: 这个接口用到了 ") + placeholder +
                                   "；请加上 " + option + " 再添加一次\n");
    }
    return kOk;
}

int runInterfaceTest(const Options& options, Console& console) {
    const std::vector<std::string>& args = options.positional;
    Options chosen = options;
    chosen.service = "custom";
    chosen.interfaceName = args[1];
    Session session;
    std::string error;
    if (!session.openSettings(chosen, false, error) || !session.resolveConversion(chosen, error))
        return fail(console, error);
    const std::string longUrl = args.size() > 2 ? args[2] : maker::kSampleLongUrl;
    ProgressLine progress(console.err, false);
    if (options.verbose) setRequestObserver(verboseObserver(console, progress));
    std::atomic<bool> stop{false};
    session.converter().setStopFlag(&stop);
    const StopOnInterrupt stopOnInterrupt(stop);
    const ConversionOutcome outcome =
        session.converter().convert(longUrl, ShortUrlConverter::kSnapshotAndConvert);
    setRequestObserver({});
    if (options.json) {
        console.out << outcomeJson(longUrl, outcome) << '\n';
    } else if (outcome.ok()) {
        print(console.out, outcome.shortUrl + "\t" + longUrl + "\n");
    } else {
        print(console.err, "失败: " + longUrl + ": " + outcome.reason() + "\n");
    }
    if (interrupted) return kInterrupted;
    return outcome.ok() ? kOk : kConversionFailed;
}

int printPresets(Console& console) {
    if (const Status& loaded = interfacePresetsLoaded(); !loaded)
        return fail(console, loaded.reason(), kConversionFailed);
    for (const InterfacePreset& preset : interfacePresets()) {
        const std::string host = preset.host.empty() ? "(--host)" : preset.host;
        const std::string needs = presetNeeds(preset);
        const std::string token = needs.empty() ? "-" : needs;
        print(console.out,
              preset.name + "\t" + host + "\t" + token + "\t" + preset.description + "\n");
    }
    return kOk;
}

}  // namespace lianshuo::cli

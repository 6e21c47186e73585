// interfaces add, test and presets: an interface from a preset or from one
// option per key, the panel's test of a saved one, and the catalogue.

#include <atomic>
#include <charconv>
#include <cstdlib>
#include <istream>

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
        return Status::failed("--extract takes cut, json, regex or header, not '" + *o.extract +
                              "'");
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
                return Status::failed("--replace takes FIND=REPLACEMENT without '|', not '" + pair +
                                      "'");
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
            return Status::failed("--pause takes milliseconds from 0 to 600000, not '" + *o.pause +
                                  "'");
        d.pauseMs = ms;
    }
    return {};
}

Result<ShortUrlInterface> buildInterface(const Options& o) {
    ShortUrlInterface d;
    if (o.preset) {
        const InterfacePreset* preset = findPreset(*o.preset);
        if (!preset)
            return Failure{0,
                           "unknown preset '" + *o.preset + "' (see lianshuo interfaces presets)"};
        Result<ShortUrlInterface> made =
            instantiatePreset(*preset, o.host.value_or(""), o.token.value_or(""));
        if (!made) return Failure{0, made.reason() + "（--host）"};
        d = std::move(*made);
    } else if (o.host) {
        return Failure{0, "--host goes with --preset"};
    }
    if (o.address) d.address = *o.address;
    if (trimSpaces(d.address).empty())
        return Failure{0, "interfaces add needs --address or --preset"};
    if (o.token) d.token = *o.token;
    if (o.name) d.name = *o.name;
    if (o.utf8) d.utf8Encoding = true;
    if (o.body) {
        d.postTemplate = *o.body;
        if (!d.postMode) setRequestMethod(d, "POST");  // a body is sent with POST unless told
    }
    if (o.method && !setRequestMethod(d, *o.method))
        return Failure{0, "--method takes GET, POST, PUT or PATCH, not '" + *o.method + "'"};
    for (const std::string& line : o.headers) d.headers = withHeader(d.headers, line);
    if (o.format && !pickWord(*o.format, {"form", "json", "multipart", "raw"}, d.bodyFormat))
        return Failure{0, "--format takes form, json, multipart or raw, not '" + *o.format + "'"};
    if (Status applied = applyReplyOptions(o, d); !applied) return applied;
    return d;
}

// Terminals speak UTF-8; a token typed in GBK is taken as its bytes.
std::string fromTokenText(const std::string& bytes) {
    return isValidUtf8(bytes) ? fromUtf8(bytes) : bytes;
}

// The token from --token, from standard input with "--token -" (one line, its
// line break dropped) or from $LIANSHUO_TOKEN without --token: the last two
// keep it out of the process list.
Status resolveToken(Options& o, std::istream& in) {
    if (o.token && *o.token == "-") {
        std::string line;
        if (!std::getline(in, line) && line.empty())
            return Status::failed("--token - reads the token from standard input, which is empty");
        if (!line.empty() && line.back() == '\r') line.pop_back();
        o.token = fromTokenText(line);
    } else if (const char* given = std::getenv("LIANSHUO_TOKEN"); !o.token && given && *given) {
        o.token = fromTokenText(given);
    }
    return {};
}

}  // namespace

int runInterfaceAdd(Session& session, const Options& given, Console& console) {
    Options options = given;
    if (const Status token = resolveToken(options, console.in); !token)
        return fail(console, token.reason());
    const Result<ShortUrlInterface> built = buildInterface(options);
    if (!built) return fail(console, built.reason());
    const ShortUrlInterface& d = *built;
    std::string keyringNotice;
    if (const Status saved = saveInterface(d, session.store(), &keyringNotice); !saved)
        return fail(console, "cannot save the interface: " + saved.reason());
    if (!keyringNotice.empty()) print(console.err, "lianshuo: warning: " + keyringNotice + "\n");
    print(console.out, interfaceName(d));
    console.out << '\n';
    if (d.token.empty() && interfaceUsesToken(d))
        print(console.err,
              "lianshuo: the interface needs a token where #令牌# stands; add it "
              "again with --token\n");
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
        const std::string token = preset.tokenLabel.empty() ? "-" : preset.tokenLabel;
        print(console.out,
              preset.name + "\t" + host + "\t" + token + "\t" + preset.description + "\n");
    }
    return kOk;
}

}  // namespace lianshuo::cli

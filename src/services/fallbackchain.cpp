#include "services/fallbackchain.h"

#include <algorithm>

#include "base/gbk.h"
#include "base/helpers.h"
#include "services/interfacestore.h"

namespace lianshuo {
namespace {

bool contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Walks the fallbacks of `d` depth first; `path` holds the interfaces on the way to it.
Status walk(const ShortUrlInterface& d, const SavedInterfaceLookup& saved,
            std::vector<std::string>& path) {
    for (const std::string& name : fallbackNames(d.fallbacks)) {
        if (contains(path, name)) {
            std::vector<std::string> loop(std::find(path.begin(), path.end(), name), path.end());
            loop.push_back(name);
            return Status::failed("备用接口形成循环：" + joinText(loop, " → "));
        }
        const Result<ShortUrlInterface> next = saved(name);
        if (!next) return Status::failed("备用接口“" + name + "”不存在");
        path.push_back(name);
        if (Status deeper = walk(*next, saved, path); !deeper) return deeper;
        path.pop_back();
    }
    return {};
}

void flatten(const ShortUrlInterface& d, const SavedInterfaceLookup& saved,
             std::vector<std::string>& seen, FallbackChain& chain) {
    for (const std::string& name : fallbackNames(d.fallbacks)) {
        // A file edited by hand may still hold a loop: each interface is asked once.
        if (contains(seen, name)) continue;
        seen.push_back(name);
        Result<ShortUrlInterface> next = saved(name);
        if (!next) {
            chain.push_back({name, next.status()});
            continue;
        }
        auto definition = std::make_shared<const ShortUrlInterface>(std::move(*next));
        chain.push_back({name, definition});
        flatten(*definition, saved, seen, chain);
    }
}

}  // namespace

std::vector<std::string> fallbackNames(std::string_view list) {
    std::vector<std::string> names;
    for (const std::string& raw : splitText(list, "|"))
        if (std::string name = trimSpaces(raw); !name.empty()) names.push_back(std::move(name));
    return names;
}

Status checkFallbacks(const ShortUrlInterface& d, const SavedInterfaceLookup& saved) {
    const std::string own = interfaceName(d);
    // The interface being saved replaces the stored one of its name.
    const SavedInterfaceLookup withOwn = [&](std::string_view name) -> Result<ShortUrlInterface> {
        if (name == own) return d;
        return saved(name);
    };
    std::vector<std::string> path{own};
    return walk(d, withOwn, path);
}

FallbackChain resolveFallbacks(const ShortUrlInterface& primary,
                               const SavedInterfaceLookup& saved) {
    FallbackChain chain;
    std::vector<std::string> seen{interfaceName(primary)};
    flatten(primary, saved, seen, chain);
    return chain;
}

bool tokenRequestFailed(const ConversionOutcome& outcome) {
    return outcome.failure == FailureKind::TokenRequest;
}

bool passesToFallback(const ConversionOutcome& outcome) {
    switch (outcome.failure) {
        case FailureKind::Request:
            return true;
        case FailureKind::HttpStatus:
            return outcome.status >= 500 || outcome.status == 429;
        default:
            return tokenRequestFailed(outcome);
    }
}

}  // namespace lianshuo

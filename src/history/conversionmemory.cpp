#include "history/conversionmemory.h"

#include "base/platform.h"
#include "base/sha256.h"

namespace lianshuo {

HistoryTag ConversionMemory::secretTag(std::string_view secret) {
    static const Result<std::string> key = platform::randomBytes(32);
    if (!key)
        return {{}, historyFailure(HistoryFailure::Failed, "无法取得随机数：" + key.reason())};
    return {hexDigits(hmacSha256(*key, secret)).substr(0, 16), {}};
}

HistoryLookup ConversionMemory::lookupWithFormer(std::string_view serviceKey,
                                                 std::string_view formerKey,
                                                 std::string_view longUrl) {
    HistoryLookup hit = lookup(serviceKey, longUrl);
    if (hit.shortUrl || !hit.status.ok() || formerKey.empty()) return hit;
    return lookup(formerKey, longUrl);
}

Status ConversionMemory::forEachKept(const KeptVisit&) {
    return {};
}

}  // namespace lianshuo

#include "cli/outcomejson.h"

#include <nlohmann/json.hpp>

#include "base/charset.h"

namespace lianshuo::cli {

std::string outcomeJson(std::string_view longUrlGbk, const ConversionOutcome& outcome,
                        bool expanding) {
    nlohmann::ordered_json line;
    line[expanding ? "short" : "long"] = toUtf8(longUrlGbk);
    if (outcome.ok()) {
        line[expanding ? "long" : "short"] = toUtf8(outcome.shortUrl);
        if (!outcome.service.empty()) line["service"] = toUtf8(outcome.service);
        if (outcome.fromHistory) line["history"] = true;
        if (!outcome.skipped.empty()) line["skipped"] = toUtf8(outcome.skipped);
    } else {
        nlohmann::ordered_json error;
        error["kind"] = failureKindName(outcome.failure);
        error["status"] = outcome.status != 0 ? nlohmann::ordered_json(outcome.status) : nullptr;
        error["message"] = toUtf8(outcome.reason());
        line["error"] = std::move(error);
    }
    if (outcome.verification != Verification::NotAsked) {
        line["verified"] =
            outcome.verification == Verification::Verified ? nlohmann::ordered_json(true)
            : outcome.verification == Verification::Wrong  ? nlohmann::ordered_json(false)
                                                           : nlohmann::ordered_json();
        line["target"] = outcome.target.empty() ? nlohmann::ordered_json()
                                                : nlohmann::ordered_json(toUtf8(outcome.target));
        if (!outcome.unverifiedReason.empty())
            line["unverified"] = toUtf8(outcome.unverifiedReason);
    }
    // Replacement characters instead of an exception: a reply is never trusted to be UTF-8.
    return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace lianshuo::cli

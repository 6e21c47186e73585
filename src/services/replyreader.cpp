#include "services/replyreader.h"

#include "app/base/charset.h"
#include "app/base/helpers.h"
#include "script/regexgroup.h"

namespace lianshuo {

const JsonDocument* ReplyReader::json() {
    if (!parsed_) {
        json_ = JsonDocument::parse(reply_.text);
        parsed_ = true;
    }
    return json_ ? &*json_ : nullptr;
}

std::string ReplyReader::regexValue(const std::string& pattern) {
    RegexGroupMatch match = firstMatchGroup(pattern, reply_.text, budget_);
    if (match.interruption != RegexInterruption::None) interruption_ = match.interruption;
    return std::move(match.value);
}

std::string ReplyReader::shortUrlText() {
    switch (d_.extractKind) {
        case ExtractKind::Cut:
            if (!d_.cutEnabled) return cutBetweenMarkers(reply_.text, "", "", d_.reverseCut);
            return cutBetweenMarkers(reply_.text, d_.leftMarker, d_.rightMarker, d_.reverseCut);
        case ExtractKind::Json: {
            const JsonDocument* document = json();
            if (!document) return {};
            return document->valueAt(d_.extractExpression).value_or(std::string());
        }
        case ExtractKind::Regex:
            return regexValue(d_.extractExpression);
        case ExtractKind::Header: {
            // A header holds the bytes the service sent; a UTF-8 interface's are read as UTF-8,
            // like its body.
            std::string value = headerValue(reply_.headerBlock, d_.extractExpression);
            if (!d_.utf8Encoding) return value;
            if (isValidUtf8(value)) return fromUtf8(value);
            notText_ = true;
            return value;
        }
    }
    return {};
}

std::string ReplyReader::errorText() {
    if (d_.errorExpression.empty()) return {};
    std::string found;
    if (d_.extractKind == ExtractKind::Json) {
        if (const JsonDocument* document = json())
            found = document->valueAt(d_.errorExpression).value_or(std::string());
    } else {
        found = regexValue(d_.errorExpression);
    }
    return escapedExcerpt(trimWhiteSpace(found));
}

}  // namespace lianshuo

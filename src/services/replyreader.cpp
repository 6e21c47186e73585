#include "services/replyreader.h"

#include "base/charset.h"
#include "base/helpers.h"
#include "script/regexgroup.h"

namespace lianshuo {

void ReplyReader::readJson() {
    if (read_) return;
    read_ = true;
    auto found = findJsonValues(reply_.text, {d_.extractExpression, d_.errorExpression});
    if (!found) {
        // A reply that is no JSON at all is best shown as it stands.
        if (found.reason() == jsonDepthReason()) jsonProblem_ = "回复的 " + found.reason();
        return;
    }
    shortUrl_ = std::move((*found)[0]);
    if (!d_.errorExpression.empty()) error_ = std::move((*found)[1]);
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
        case ExtractKind::Json:
            readJson();
            return shortUrl_ ? shortUrl_->text : std::string();
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
        readJson();
        if (error_) found = error_->text;
    } else {
        found = regexValue(d_.errorExpression);
    }
    return escapedExcerpt(trimWhiteSpace(found));
}

std::string ReplyReader::readProblem() {
    if (d_.extractKind != ExtractKind::Json) return {};
    readJson();
    return jsonProblem_;
}

}  // namespace lianshuo

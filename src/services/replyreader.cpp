#include "services/replyreader.h"

#include "app/base/helpers.h"
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

std::string ReplyReader::shortUrlText() {
    switch (d_.extractKind) {
        case ExtractKind::Cut:
            if (!d_.cutEnabled) return cutBetweenMarkers(reply_.text, "", "", d_.reverseCut);
            return cutBetweenMarkers(reply_.text, d_.leftMarker, d_.rightMarker, d_.reverseCut);
        case ExtractKind::Json:
            readJson();
            return shortUrl_ ? shortUrl_->text : std::string();
        case ExtractKind::Regex:
            return firstMatchGroup(d_.extractExpression, reply_.text).value;
        case ExtractKind::Header:
            return headerValue(reply_.headerBlock, d_.extractExpression);
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
        found = firstMatchGroup(d_.errorExpression, reply_.text).value;
    }
    return escapedExcerpt(trimWhiteSpace(found));
}

std::string ReplyReader::readProblem() {
    if (d_.extractKind != ExtractKind::Json) return {};
    readJson();
    return jsonProblem_;
}

}  // namespace lianshuo

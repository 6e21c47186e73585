#include "services/replyreader.h"

#include "base/charset.h"
#include "base/gbk.h"
#include "base/helpers.h"
#include "script/regexgroup.h"

namespace lianshuo {

JsonRule parseJsonRule(std::string_view rule) {
    JsonRule out;
    std::size_t at = rule.find("!=");
    std::size_t length = 2;
    out.op = JsonRule::Differs;
    if (at == std::string_view::npos) {
        at = rule.find('=');
        length = 1;
        out.op = JsonRule::Equals;
    }
    if (at == std::string_view::npos) {
        out.op = JsonRule::Present;
        out.path = trimSpaces(rule);
        return out;
    }
    out.path = trimSpaces(rule.substr(0, at));
    out.value = trimSpaces(rule.substr(at + length));
    return out;
}

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

bool ReplyReader::holds(const std::string& rule) {
    if (d_.extractKind != ExtractKind::Json) {
        const RegexGroupMatch match = firstMatchGroup(rule, reply_.text, budget_);
        if (match.interruption != RegexInterruption::None) interruption_ = match.interruption;
        return match.matched;
    }
    const JsonRule parsed = parseJsonRule(rule);
    const auto found = findJsonValues(reply_.text, {parsed.path});
    if (!found) return false;
    const std::optional<JsonFound>& value = (*found)[0];
    if (parsed.op == JsonRule::Present) {
        if (!value) return false;
        const std::string& t = value->text;
        return !(t.empty() || t == "false" || t == "0" || t == "{}" || t == "[]");
    }
    const std::string text = value ? value->text : std::string("null");
    return (text == parsed.value) == (parsed.op == JsonRule::Equals);
}

std::string ReplyReader::readProblem() {
    if (d_.extractKind != ExtractKind::Json) return {};
    readJson();
    return jsonProblem_;
}

}  // namespace lianshuo

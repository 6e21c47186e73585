#include "services/replyreader.h"

#include "base/charset.h"
#include "base/gbk.h"
#include "base/helpers.h"
#include "script/regexgroup.h"
#include "services/resulttemplate.h"

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
    // The template's paths are read in the same pass as the extraction's and the error's.
    std::vector<std::string> paths{d_.extractExpression, d_.errorExpression};
    for (std::string& path : resultTemplatePaths(d_.resultTemplate))
        paths.push_back(std::move(path));
    auto found = findJsonValues(reply_.text, paths);
    if (!found) {
        // A reply that is no JSON at all is best shown as it stands.
        if (found.reason() == jsonDepthReason()) jsonProblem_ = "回复的 " + found.reason();
        return;
    }
    shortUrl_ = std::move((*found)[0]);
    if (!d_.errorExpression.empty()) error_ = std::move((*found)[1]);
    templateValues_.assign(std::make_move_iterator(found->begin() + 2),
                           std::make_move_iterator(found->end()));
}

std::string ReplyReader::filledTemplate() {
    const auto pieces = parseResultTemplate(d_.resultTemplate);
    if (!pieces) return {};
    std::optional<std::string> filled;
    if (d_.extractKind == ExtractKind::Json) {
        readJson();
        std::size_t next = 0;
        filled = fillResultTemplate(*pieces, [&](const ResultPiece&) -> std::optional<std::string> {
            if (next >= templateValues_.size() || !templateValues_[next]) return std::nullopt;
            return templateValues_[next++]->text;
        });
    } else {
        RegexGroupsMatch match = firstMatchGroups(d_.extractExpression, reply_.text, budget_);
        if (match.interruption != RegexInterruption::None) interruption_ = match.interruption;
        filled = fillResultTemplate(*pieces, [&](const ResultPiece& piece) {
            const std::size_t group = std::stoul(piece.text);
            return group < match.groups.size() ? match.groups[group] : std::nullopt;
        });
    }
    return filled.value_or(std::string());
}

std::string ReplyReader::regexValue(const std::string& pattern) {
    RegexGroupMatch match = firstMatchGroup(pattern, reply_.text, budget_);
    if (match.interruption != RegexInterruption::None) interruption_ = match.interruption;
    return std::move(match.value);
}

std::string ReplyReader::shortUrlText() {
    const bool templated =
        d_.extractKind == ExtractKind::Json || d_.extractKind == ExtractKind::Regex;
    if (!d_.resultTemplate.empty() && templated) return filledTemplate();
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

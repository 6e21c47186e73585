#pragma once
// Reads an interface's reply the way its extraction says: cut, JSON path,
// regular expression or reply header, and its error expression.

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "script/regexbudget.h"
#include "services/jsonpath.h"
#include "services/servicerequest.h"
#include "services/shorturlinterface.h"

namespace lianshuo {

/// A "成功表达式" or "限流表达式" of an interface with JSON extraction, cut apart.
struct JsonRule {
    enum Op { Present, Equals, Differs } op = Present;
    std::string path, value;
};
JsonRule parseJsonRule(std::string_view rule);

class ReplyReader {
public:
    /// Both must outlive the reader, and `stop` too when given. The regular
    /// expressions of both questions share one budget that starts here.
    ReplyReader(const ShortUrlInterface& definition, const ServiceReply& reply,
                const std::atomic<bool>* stop = nullptr)
        : d_(definition), reply_(reply), budget_(RegexBudget::lasting(kReplyRegexTime, stop)) {}

    /// What the reply holds where the interface looks for the short address,
    /// before replace, prefix and suffix; empty when nothing is there.
    std::string shortUrlText();
    /// True once shortUrlText() found bytes that are no text in the interface's charset.
    bool notText() const { return notText_; }

    /// The service's own words where the error expression points, on one
    /// line; empty without an expression or a match.
    std::string errorText();

    /// Set when a regular expression was cut short, its answer then being empty.
    RegexInterruption interruption() const { return interruption_; }

    /// Why a JSON reply nested too deep was not read; empty otherwise.
    std::string readProblem();

    /// Whether the reply holds `rule` (a "成功表达式" or "限流表达式"): with JSON
    /// extraction "PATH=VALUE", "PATH!=VALUE" (the value as text: strings without
    /// quotes, numbers, true, false and null as JSON writes them) or "PATH" (there
    /// and not null, false, 0 or empty); else a regular expression that matches.
    bool holds(const std::string& rule);

private:
    // Both JSON paths, read in one pass on first use.
    void readJson();
    std::string regexValue(const std::string& pattern);
    // The "结果模板" with the reply's values; empty when one of them is missing.
    std::string filledTemplate();

    const ShortUrlInterface& d_;
    const ServiceReply& reply_;
    RegexBudget budget_;
    RegexInterruption interruption_ = RegexInterruption::None;
    bool read_ = false;
    bool notText_ = false;
    std::string jsonProblem_;
    std::optional<JsonFound> shortUrl_, error_;
    std::vector<std::optional<JsonFound>> templateValues_;  // the template's paths, in order
};

}  // namespace lianshuo

#pragma once
// The placeholders of an interface's templates. "#长网址#", "#长网址原文#",
// "#令牌#", "#别名#", "#别名?#", "#时间戳#", "#时间戳毫秒#", "#用户名#" and "#密码#"
// stand for values;
// "#NAME(ARGUMENT)#" calls a function on its argument, itself a template, with
// calls nested up to four deep. Functions: base64, base64url, md5, sha1,
// sha256, urlencode.

#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace lianshuo {

/// The placeholders of a template; the values come first, in the order the engine keeps them.
enum class Placeholder {
    LongUrl,
    PlainLongUrl,
    Token,
    Alias,
    AliasOrNothing,
    Timestamp,
    TimestampMs,
    Username,
    Password,
    Call,
    None
};

/// How many placeholders stand for a value (those before Call).
inline constexpr std::size_t kValuePlaceholders = static_cast<std::size_t>(Placeholder::Call);

/// The deepest nesting of function calls a template may have.
inline constexpr int kDeepestCall = 4;

struct TemplatePart {
    Placeholder placeholder = Placeholder::None;
    std::string text;                    // GBK: the plain text (None) or the function's name (Call)
    std::vector<TemplatePart> argument;  // a call's argument
};

/// `gbkTemplate` cut into plain text, placeholders and calls; fails naming an
/// unknown function, a call that is not closed with ")#", or nesting past kDeepestCall.
Result<std::vector<TemplatePart>> parseTemplate(std::string_view gbkTemplate);

/// parseTemplate's parts, or the whole template as plain text when it fails.
std::vector<TemplatePart> templateParts(std::string_view gbkTemplate);

/// The function `name` of a call applied to `bytes` (UTF-8 when `utf8`, else GBK);
/// the result is ASCII.
std::string applyTemplateFunction(std::string_view name, std::string_view bytes, bool utf8);

/// The text "#别名?#" a template writes.
const std::string& optionalAliasPlaceholder();

}  // namespace lianshuo

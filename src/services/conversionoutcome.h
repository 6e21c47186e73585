#pragma once
// What one conversion ended with: a short address, or a failure that says
// why. Every service returns one; the jobs and the command line show the
// reason, so no failure is ever reduced to "生成错误" alone.

#include <string>
#include <string_view>

namespace lianshuo {

enum class FailureKind {
    None,
    Request,           // the request never got an answer: look-up, connection, TLS, time-out
    HttpStatus,        // the service answered with a status outside its success range
    NothingExtracted,  // the reply held nothing where the short address should be
    NotWebAddress,     // what was extracted is no http(s) address
    TooLarge,          // the filled-in request exceeded its cap
    Stopped,           // the run was stopped while the request was in flight
    TokenRequest,      // the interface's token request failed: its own reason is the message
    Refused,           // the listed entry is no address: nothing was sent; the message says why
    PointsElsewhere,   // asked, the new short address led to another address
    DeadLink,          // asked, the new short address answered 404 or 410
};

/// What asking a short address where it leads found.
enum class Verification {
    NotAsked,
    Verified,      // it leads to the long address
    Unverifiable,  // a page, an error status, no reply: `unverifiedReason` says which
    Wrong,         // it leads elsewhere or nowhere: the outcome is a failure saying so
};

struct ConversionOutcome {
    std::string shortUrl;  // GBK; set exactly when the conversion succeeded
    FailureKind failure = FailureKind::None;
    long status = 0;              // the HTTP status of the last reply, 0 without one
    std::string message;          // one line, GBK: the reason (or the service's own words)
    bool retryable = false;       // a time-out, a reset, or status 429/502/503/504
    long retryAfterSeconds = -1;  // from the reply's Retry-After, -1 when absent
    bool fromHistory = false;     // made by an earlier run and reused: no request was sent
    // The interface that made the short address, for an interface with fallbacks; else empty.
    std::string service;
    // "已是短网址" when the address was short already and left as it is (no request was sent).
    std::string skipped;
    // An expanding or migrating run: the long address the short one stood for (in an
    // expanding run `shortUrl` holds it too, being what replaces the short address), and
    // whether it was found by following redirects now rather than in the history.
    std::string expandedUrl;
    bool expandedNow = false;
    Verification verification = Verification::NotAsked;
    std::string target;            // where the short address was found to lead, GBK
    std::string unverifiedReason;  // GBK: why it could not be verified

    bool ok() const { return failure == FailureKind::None; }

    /// A successful outcome; `shortUrl` must already have passed isWebAddress.
    static ConversionOutcome success(std::string shortUrl);
    static ConversionOutcome failed(FailureKind kind, std::string message, long status = 0);

    /// "HTTP 503：…", "请求失败：…": the one line shown in tooltips and on stderr.
    std::string reason() const;
};

/// `text` without ASCII white space (space, tab, CR, LF, VT, FF) at either end.
std::string trimWhiteSpace(std::string_view text);

/// The machine-readable name of a failure kind, as `--json` prints it.
std::string_view failureKindName(FailureKind kind);

/// True for an http or https address (any letter case) whose host holds a dot,
/// is an IPv4 or bracketed IPv6 literal, or is "localhost", with an optional
/// port and a rest free of white space, control characters, "<", ">" and a
/// double quote; at most 2,048 bytes, and text all through (GB18030 that converts to UTF-8).
bool isWebAddress(std::string_view text);

/// The first `limit` bytes of `text` (never splitting a GBK pair) on one line,
/// control characters written as \n, \r, \t or \xHH.
std::string escapedExcerpt(std::string_view text, std::size_t limit = 200);

/// The service's own words in an error reply: a JSON "message", "error",
/// "err_msg" or "detail" member (also one level down, as in {"error":
/// {"message": …}}), else the first non-empty line of a reply that is not
/// markup; cut to 200 bytes. Empty when there is none. GBK in and out.
std::string serviceMessage(std::string_view replyText);

/// The seconds a Retry-After value asks for: a number of seconds or an HTTP
/// date (counted from `now`); -1 when absent or unreadable.
long parseRetryAfter(std::string_view value, long long now);

}  // namespace lianshuo

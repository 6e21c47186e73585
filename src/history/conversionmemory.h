#pragma once
// What a conversion needs of a history: the short address made earlier for
// a long one, and a place to keep a new one. ConversionHistory keeps them in
// SQLite; tests and benchmarks put stand-ins in its place.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "base/result.h"

namespace lianshuo {

/// The kinds of a history's failures: the code of every Failure a history returns.
enum class HistoryFailure : int {
    Busy = 1,  // another program held the history locked for too long
    Corrupt,   // the file is no database, or a damaged one
    ReadOnly,  // the file or its folder cannot be written
    Full,      // the disk is full
    Failed,    // anything else the database reported
};

/// A failed Status of `kind`; `message` is GBK, one line: what went wrong, with the file's path.
inline Status historyFailure(HistoryFailure kind, std::string message) {
    return Status::failed(std::move(message), static_cast<int>(kind));
}

/// The kind of a history's failed `status`.
inline HistoryFailure historyFailureOf(const Status& status) {
    return static_cast<HistoryFailure>(status.code());
}

/// A look-up: the stored short address, if there is one, or the failure.
struct HistoryLookup {
    std::optional<std::string> shortUrl;  // GBK
    Status status;
};

/// A secret made into the part of a service key that stands for it.
struct HistoryTag {
    std::string text;  // hex digits
    Status status;
};

class ConversionMemory {
public:
    virtual ~ConversionMemory() = default;

    /// `secret` (a token) as a service key may hold it: HMAC-SHA-256 under a
    /// random key of this memory's own, so that the key tells nothing of the
    /// secret to whoever lacks that key. This one's key lasts as long as the
    /// process; a memory that outlives it keeps its key with its rows.
    virtual HistoryTag secretTag(std::string_view secret);

    /// As lookup; when nothing is kept under `serviceKey`, what was kept under
    /// `formerKey` (the key an earlier version gave the same service; empty:
    /// none), which a memory that can then files under `serviceKey`.
    virtual HistoryLookup lookupWithFormer(std::string_view serviceKey, std::string_view formerKey,
                                           std::string_view longUrl);

    /// The short address kept for `longUrl` under `serviceKey` (both GBK); a
    /// hit counts as one more use.
    virtual HistoryLookup lookup(std::string_view serviceKey, std::string_view longUrl) = 0;

    /// Keeps a finished conversion, replacing what was kept for the same
    /// service and long address; durable once it returns ok.
    virtual Status record(std::string_view serviceKey, std::string_view longUrl,
                          std::string_view shortUrl) = 0;

    /// Calls `visit` with each kept long address and its short one (GBK),
    /// until it returns false; a memory that cannot walk what it keeps gives nothing.
    using KeptVisit = std::function<bool(std::string_view longUrl, std::string_view shortUrl)>;
    virtual Status forEachKept(const KeptVisit& visit);
};

}  // namespace lianshuo

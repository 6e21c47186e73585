#pragma once
// What a conversion needs of a history: the short address made earlier for
// a long one, and a place to keep a new one. ConversionHistory keeps them in
// SQLite; tests and benchmarks put stand-ins in its place.

#include <optional>
#include <string>
#include <string_view>

namespace lianshuo {

/// How a history operation ended: ok, or why not.
struct HistoryStatus {
    enum class Kind {
        Ok,
        Busy,      // another program held the history locked for too long
        Corrupt,   // the file is no database, or a damaged one
        ReadOnly,  // the file or its folder cannot be written
        Full,      // the disk is full
        Failed,    // anything else the database reported
    };
    Kind kind = Kind::Ok;
    std::string message;  // GBK, one line: what went wrong, with the file's path

    bool ok() const { return kind == Kind::Ok; }
};

/// A look-up: the stored short address, if there is one, or the failure.
struct HistoryLookup {
    std::optional<std::string> shortUrl;  // GBK
    HistoryStatus status;
};

/// A secret made into the part of a service key that stands for it.
struct HistoryTag {
    std::string text;  // hex digits
    HistoryStatus status;
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
    virtual HistoryStatus record(std::string_view serviceKey, std::string_view longUrl,
                                 std::string_view shortUrl) = 0;
};

}  // namespace lianshuo

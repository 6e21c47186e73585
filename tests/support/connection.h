#pragma once
// One accepted loopback socket, plain or TLS. Every read and write gives up after a few
// seconds, so a test server can never hang on a client.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string_view>

#include "support/recorded_request.h"

struct ssl_st;
struct ssl_ctx_st;

namespace lianshuo::test {

class Connection {
public:
    explicit Connection(int fd);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    /// Runs the server side of the TLS handshake; false when it failed.
    bool startTls(ssl_ctx_st* context);
    /// Reads some bytes; 0 or less at the end, on an error or after the read time-out.
    long read(char* buffer, std::size_t size);
    /// Writes all of `bytes`; false once the client is gone.
    bool write(std::string_view bytes);
    /// Waits up to `limit` for the client to hang up; true when it did.
    bool waitForHangUp(std::chrono::milliseconds limit);
    /// Waits up to `limit` for something to read (or the end); true when there is.
    bool waitForData(std::chrono::milliseconds limit);
    /// Copies bytes both ways between this (plain) connection and `fd` until either side
    /// closes or `stopping` is set; closes `fd`.
    void relay(int fd, const std::atomic<bool>& stopping);
    /// Makes the close a reset (RST) instead of an orderly shutdown.
    void resetOnClose() { reset_ = true; }

private:
    int fd_;
    ssl_st* ssl_ = nullptr;
    bool reset_ = false;
};

/// Reads one request (headers and a Content-Length body); nullopt when none came whole.
std::optional<RecordedRequest> readRequest(Connection& connection);

}  // namespace lianshuo::test

#pragma once
// A loopback HTTP/1.1 server for tests: it listens on 127.0.0.1 at a port of its own, records
// every request it receives, and answers each by the handler routed to its path. One
// background thread serves one connection at a time and every reply closes its connection.
// Absolute-form targets ("GET http://host/path") are routed by their path too, so the server
// also stands in for a forward proxy.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/recorded_request.h"

namespace lianshuo::test {

class Connection;

/// The answering side of one request.
class Exchange {
public:
    Exchange(Connection& connection, const RecordedRequest& request,
             const std::atomic<bool>& stopping)
        : connection_(connection), request_(request), stopping_(stopping) {}

    const RecordedRequest& request() const { return request_; }
    /// Writes raw bytes; false once the client is gone.
    bool send(std::string_view bytes);
    /// Writes the status line and headers, with Content-Length when given and Connection: close.
    bool sendHead(int status, std::optional<std::uint64_t> contentLength,
                  const std::vector<std::string>& headers = {});
    /// A whole reply.
    bool answer(int status, std::string_view body, const std::vector<std::string>& headers = {});
    /// Waits `duration`; false as soon as the client hangs up or the server stops.
    bool pause(std::chrono::milliseconds duration);
    /// Ends the connection with a reset instead of an orderly close.
    void resetConnection();

private:
    Connection& connection_;
    const RecordedRequest& request_;
    const std::atomic<bool>& stopping_;
};

using Handler = std::function<void(Exchange&)>;

class TestServer {
public:
    enum class Scheme { Http, Https };

    /// Starts listening at once; HTTPS uses a self-signed certificate made for this server.
    explicit TestServer(Scheme scheme = Scheme::Http);
    /// Stops within a fraction of a second, whatever a handler is waiting for.
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    /// Answers requests for `path` (query ignored) with `handler`; unrouted paths get a 404.
    void route(const std::string& path, Handler handler);
    int port() const { return port_; }
    /// "127.0.0.1:port", as a proxy setting names it.
    std::string address() const;
    /// "http://127.0.0.1:port" (or https) followed by `path`.
    std::string url(std::string_view path = "/") const;
    /// Every request received so far, oldest first.
    std::vector<RecordedRequest> requests() const;
    void clearRequests();
    /// The PEM file of the HTTPS certificate (to trust it through SSL_CERT_FILE); empty for HTTP.
    const std::string& certificateFile() const { return certificateFile_; }

private:
    struct Tls;

    void serve();
    void serveConnection(int fd);

    std::unique_ptr<Tls> tls_;
    std::string certificateFile_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::map<std::string, Handler> routes_;
    std::vector<RecordedRequest> requests_;
    std::thread thread_;
};

}  // namespace lianshuo::test

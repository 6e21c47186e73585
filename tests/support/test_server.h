#pragma once
// A loopback HTTP/1.1 server for tests: it listens on 127.0.0.1 at a port of its own, records
// every request it receives, and answers each by the handler routed to its path. Each
// connection is served on a thread of its own; every reply closes its connection unless the
// server keeps connections alive. Absolute-form targets ("GET http://host/path") are routed by
// their path too, so the server also stands in for a forward proxy.

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
             const std::atomic<bool>& stopping, bool keepAlive)
        : connection_(connection), request_(request), stopping_(stopping), keepAlive_(keepAlive) {}

    const RecordedRequest& request() const { return request_; }
    /// Writes raw bytes; false once the client is gone. Raw bytes without sendHead end the
    /// connection after this exchange: their framing is unknown.
    bool send(std::string_view bytes);
    /// Writes the status line and headers, with Content-Length when given. Without a length,
    /// or when the server does not keep connections alive, adds Connection: close.
    bool sendHead(int status, std::optional<std::uint64_t> contentLength,
                  const std::vector<std::string>& headers = {});
    /// A whole reply.
    bool answer(int status, std::string_view body, const std::vector<std::string>& headers = {});
    /// Waits `duration`; false as soon as the client hangs up or the server stops.
    bool pause(std::chrono::milliseconds duration);
    /// Ends the connection with a reset instead of an orderly close.
    void resetConnection();
    /// Closes the connection in order after this exchange, even when it could stay open.
    void closeAfterwards() { keepAlive_ = false; }
    /// Copies bytes both ways between the client and `fd` until either side closes (a proxy's
    /// tunnel); the connection ends afterwards.
    void relay(int fd);
    /// True when the connection may serve another request after this one.
    bool keepsAlive() const { return keepAlive_ && framed_; }

private:
    Connection& connection_;
    const RecordedRequest& request_;
    const std::atomic<bool>& stopping_;
    bool keepAlive_;
    bool framed_ = false;  // a head with a Content-Length went out, and nothing unframed
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
    /// Answers every request whose path has no route (a CONNECT's too) with `handler`.
    void routeOthers(Handler handler);
    /// Keeps connections open for further requests until the client closes them (replies then
    /// carry no Connection: close); off by default.
    void setKeepAlive(bool keepAlive) { keepAlive_ = keepAlive; }
    /// How many connections were accepted so far.
    int connectionCount() const { return connections_; }
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
    void joinServed(bool all);
    Handler handlerFor(const RecordedRequest& request);

    std::unique_ptr<Tls> tls_;
    std::string certificateFile_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> keepAlive_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::map<std::string, Handler> routes_;
    Handler others_;
    std::vector<RecordedRequest> requests_;
    struct Served {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Served> served_;  // touched by the accepting thread only
    std::thread thread_;
};

}  // namespace lianshuo::test

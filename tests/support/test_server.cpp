#include "support/test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/connection.h"
#include "support/tls.h"

namespace lianshuo::test {
namespace {

constexpr int kAcceptPollMs = 50;
constexpr auto kPauseStep = std::chrono::milliseconds(20);
constexpr auto kIdleStep = std::chrono::milliseconds(50);

const char* reasonOf(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 404:
            return "Not Found";
        case 407:
            return "Proxy Authentication Required";
        case 429:
            return "Too Many Requests";
        case 500:
            return "Internal Server Error";
        case 502:
            return "Bad Gateway";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
    }
}

}  // namespace

bool Exchange::send(std::string_view bytes) {
    return connection_.write(bytes);
}

bool Exchange::sendHead(int status, std::optional<std::uint64_t> contentLength,
                        const std::vector<std::string>& headers) {
    framed_ = contentLength.has_value();
    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + reasonOf(status) + "\r\n";
    for (const std::string& line : headers) head += line + "\r\n";
    if (contentLength) head += "Content-Length: " + std::to_string(*contentLength) + "\r\n";
    if (!keepsAlive()) head += "Connection: close\r\n";
    return send(head + "\r\n");
}

bool Exchange::answer(int status, std::string_view body, const std::vector<std::string>& headers) {
    return sendHead(status, body.size(), headers) && send(body);
}

bool Exchange::pause(std::chrono::milliseconds duration) {
    const auto deadline = std::chrono::steady_clock::now() + duration;
    while (!stopping_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return true;
        if (connection_.waitForHangUp(std::min(left, kPauseStep))) return false;
    }
    return false;
}

void Exchange::resetConnection() {
    keepAlive_ = false;
    connection_.resetOnClose();
}

void Exchange::relay(int fd) {
    keepAlive_ = false;
    connection_.relay(fd, stopping_);
}

struct TestServer::Tls {
    ssl_ctx_st* context = nullptr;
    std::filesystem::path folder;
    ~Tls() {
        freeServerContext(context);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

TestServer::TestServer(Scheme scheme) {
    // A client that hangs up mid-write must not kill the test process.
    std::signal(SIGPIPE, SIG_IGN);
    if (scheme == Scheme::Https) {
        tls_ = std::make_unique<Tls>();
        const SelfSignedCertificate certificate = makeSelfSignedCertificate();
        tls_->context = makeServerContext(certificate);
        char folder[] = "/tmp/lianshuo-tls-XXXXXX";
        if (mkdtemp(folder) != nullptr) {
            tls_->folder = folder;
            certificateFile_ = (tls_->folder / "server.pem").string();
            std::ofstream(certificateFile_) << certificate.certificatePem;
        }
    }
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (listenFd_ < 0 ||
        bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listenFd_, 16) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;  // port() stays 0 and every request fails to connect
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

TestServer::~TestServer() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    if (listenFd_ >= 0) close(listenFd_);
}

void TestServer::route(const std::string& path, Handler handler) {
    std::lock_guard lock(mutex_);
    routes_[path] = std::move(handler);
}

void TestServer::routeOthers(Handler handler) {
    std::lock_guard lock(mutex_);
    others_ = std::move(handler);
}

std::string TestServer::address() const {
    return "127.0.0.1:" + std::to_string(port_);
}

std::string TestServer::url(std::string_view path) const {
    return std::string(tls_ ? "https://" : "http://") + address() + std::string(path);
}

std::vector<RecordedRequest> TestServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void TestServer::clearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

void TestServer::serve() {
    while (!stopping_) {
        pollfd watch{listenFd_, POLLIN, 0};
        if (poll(&watch, 1, kAcceptPollMs) <= 0) continue;
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++connections_;
        joinServed(false);
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::thread thread([this, fd, done] {
            serveConnection(fd);
            *done = true;
        });
        served_.push_back({std::move(thread), std::move(done)});
    }
    joinServed(true);
}

// Ended threads hold their stacks until joined; a long run makes thousands of them.
void TestServer::joinServed(bool all) {
    std::erase_if(served_, [all](Served& served) {
        if (!all && !*served.done) return false;
        served.thread.join();
        return true;
    });
}

Handler TestServer::handlerFor(const RecordedRequest& request) {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    if (const auto found = routes_.find(request.path); found != routes_.end()) return found->second;
    return others_;
}

void TestServer::serveConnection(int fd) {
    Connection connection(fd);
    if (tls_ && !connection.startTls(tls_->context)) return;
    for (;;) {
        // Idle between requests until the client sends one, hangs up, or the server stops.
        while (!connection.waitForData(kIdleStep)) {
            if (!stopping_) continue;
            // A client keeping the connection for later would not hang up: do not wait for it.
            connection.resetOnClose();
            return;
        }
        const std::optional<RecordedRequest> request = readRequest(connection);
        if (!request || stopping_) return;
        const Handler handler = handlerFor(*request);
        std::string connectionHeader = request->header("Connection");
        for (char& c : connectionHeader) c = static_cast<char>(std::tolower(c));
        const bool clientAllows =
            request->requestLine.ends_with("HTTP/1.1") && connectionHeader != "close";
        Exchange exchange(connection, *request, stopping_, keepAlive_ && clientAllows);
        if (handler) {
            handler(exchange);
        } else {
            exchange.answer(404, "no such page\n", {"Content-Type: text/plain"});
        }
        if (!exchange.keepsAlive()) return;
    }
}

}  // namespace lianshuo::test

#include "support/connection.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string>

namespace lianshuo::test {
namespace {

constexpr int kIoTimeoutSeconds = 3;
constexpr std::size_t kMaxHeaderBytes = 1 << 20;
constexpr std::size_t kMaxBodyBytes = 32 << 20;

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::string_view nameOf(std::string_view line) {
    return trimmed(line.substr(0, line.find(':')));
}

}  // namespace

std::string RecordedRequest::header(std::string_view name) const {
    for (const std::string& line : headerLines) {
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos && lowered(nameOf(line)) == lowered(name))
            return std::string(trimmed(std::string_view(line).substr(colon + 1)));
    }
    return {};
}

int RecordedRequest::headerCount(std::string_view name) const {
    return static_cast<int>(std::count_if(
        headerLines.begin(), headerLines.end(),
        [&](const std::string& line) { return lowered(nameOf(line)) == lowered(name); }));
}

std::vector<std::string> RecordedRequest::headerNames() const {
    std::vector<std::string> names;
    for (const std::string& line : headerLines) names.emplace_back(nameOf(line));
    return names;
}

std::string pathOfTarget(std::string_view target) {
    if (const std::size_t scheme = target.find("://"); scheme != std::string_view::npos) {
        const std::size_t slash = target.find('/', scheme + 3);
        target = slash == std::string_view::npos ? "/" : target.substr(slash);
    }
    return std::string(target.substr(0, target.find('?')));
}

Connection::Connection(int fd) : fd_(fd) {
    const timeval timeout{kIoTimeoutSeconds, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    // A reply goes out as a head and a body: without this, the body of every reply on a kept
    // connection would wait for the client's delayed acknowledgement (40 ms).
    const int noDelay = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
}

Connection::~Connection() {
    if (reset_) {
        const linger abortive{1, 0};
        setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    } else {
        if (ssl_ != nullptr) SSL_shutdown(ssl_);
        // Half-close, then let the client read to the end before the socket goes: closing with
        // unread input would reset the connection and could cut the reply short.
        shutdown(fd_, SHUT_WR);
        waitForHangUp(std::chrono::milliseconds(500));
    }
    if (ssl_ != nullptr) SSL_free(ssl_);
    close(fd_);
}

bool Connection::startTls(ssl_ctx_st* context) {
    ssl_ = SSL_new(context);
    if (ssl_ != nullptr && SSL_set_fd(ssl_, fd_) == 1 && SSL_accept(ssl_) == 1) return true;
    // A failed handshake leaves nothing to shut down but the socket.
    SSL_free(ssl_);
    ssl_ = nullptr;
    return false;
}

long Connection::read(char* buffer, std::size_t size) {
    if (ssl_ != nullptr)
        return SSL_read(ssl_, buffer, static_cast<int>(std::min<std::size_t>(size, 1 << 20)));
    return static_cast<long>(recv(fd_, buffer, size, 0));
}

bool Connection::write(std::string_view bytes) {
    while (!bytes.empty()) {
        long sent;
        if (ssl_ != nullptr) {
            sent = SSL_write(ssl_, bytes.data(),
                             static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20)));
        } else {
            sent = static_cast<long>(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL));
        }
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

bool Connection::waitForHangUp(std::chrono::milliseconds limit) {
    // POLLIN is left out on purpose: a TLS close alert must not end the wait early, nor keep
    // poll returning at once.
    pollfd watch{fd_, POLLRDHUP, 0};
    const int ready = poll(&watch, 1, static_cast<int>(limit.count()));
    return ready > 0 && (watch.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

bool Connection::waitForData(std::chrono::milliseconds limit) {
    if (ssl_ != nullptr && SSL_pending(ssl_) > 0) return true;
    pollfd watch{fd_, POLLIN, 0};
    return poll(&watch, 1, static_cast<int>(limit.count())) > 0;
}

void Connection::relay(int fd, const std::atomic<bool>& stopping) {
    char buffer[16384];
    pollfd watch[2] = {{fd_, POLLIN, 0}, {fd, POLLIN, 0}};
    while (!stopping) {
        if (poll(watch, 2, 50) <= 0) continue;
        bool open = true;
        for (int side = 0; side < 2 && open; ++side) {
            if (watch[side].revents == 0) continue;
            const long n = recv(watch[side].fd, buffer, sizeof buffer, 0);
            const int to = watch[1 - side].fd;
            open = n > 0 && ::send(to, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL) == n;
        }
        if (!open) break;
    }
    close(fd);
}

std::optional<RecordedRequest> readRequest(Connection& connection) {
    std::string data;
    char buffer[16384];
    std::size_t headerEnd;
    while ((headerEnd = data.find("\r\n\r\n")) == std::string::npos) {
        const long n = data.size() < kMaxHeaderBytes ? connection.read(buffer, sizeof buffer) : 0;
        if (n <= 0) return std::nullopt;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    RecordedRequest request;
    std::size_t lineStart = 0;
    while (lineStart < headerEnd) {
        const std::size_t lineEnd = std::min(data.find("\r\n", lineStart), headerEnd);
        std::string line = data.substr(lineStart, lineEnd - lineStart);
        if (request.requestLine.empty()) {
            request.requestLine = std::move(line);
        } else {
            request.headerLines.push_back(std::move(line));
        }
        lineStart = lineEnd + 2;
    }
    const std::string& first = request.requestLine;
    const std::size_t space = first.find(' ');
    const std::size_t secondSpace = first.find(' ', space + 1);
    request.method = first.substr(0, space);
    if (space != std::string::npos)
        request.target = first.substr(space + 1, secondSpace - space - 1);
    request.path = pathOfTarget(request.target);

    request.body = data.substr(headerEnd + 4);
    const std::string declared = request.header("Content-Length");
    std::size_t length = 0;
    std::from_chars(declared.data(), declared.data() + declared.size(), length);
    length = std::min(length, kMaxBodyBytes);
    while (request.body.size() < length) {
        const long n = connection.read(buffer, sizeof buffer);
        if (n <= 0) return std::nullopt;
        request.body.append(buffer, static_cast<std::size_t>(n));
    }
    request.body.resize(std::min(request.body.size(), length));
    return request;
}

}  // namespace lianshuo::test

// A forward proxy page for the test server, limited to targets on the loopback interface.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cctype>
#include <charconv>

#include "support/test_pages.h"

namespace lianshuo::test {
namespace {

constexpr int kTargetTimeoutSeconds = 3;

// A socket connected to "host:port" when host is the loopback address; -1 otherwise.
int connectLoopback(std::string_view authority) {
    const std::size_t colon = authority.rfind(':');
    if (colon == std::string_view::npos) return -1;
    const std::string_view host = authority.substr(0, colon);
    if (host != "127.0.0.1" && host != "localhost") return -1;
    int port = 0;
    const std::string_view digits = authority.substr(colon + 1);
    if (std::from_chars(digits.data(), digits.data() + digits.size(), port).ec != std::errc())
        return -1;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const timeval timeout{kTargetTimeoutSeconds, 0};
    if (fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) == 0 &&
        connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0) close(fd);
    return -1;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

// The request as the target is to receive it: origin form, no proxy headers, one exchange.
std::string forwardedRequest(const RecordedRequest& request, std::string_view path) {
    std::string out = request.method + " " + std::string(path) + " HTTP/1.1\r\n";
    for (const std::string& line : request.headerLines) {
        if (startsWithNoCase(line, "proxy-") || startsWithNoCase(line, "connection:")) continue;
        out += line + "\r\n";
    }
    return out + "Connection: close\r\n\r\n" + request.body;
}

void forward(Exchange& exchange) {
    const RecordedRequest& request = exchange.request();
    constexpr std::string_view kScheme = "http://";
    if (!std::string_view(request.target).starts_with(kScheme)) {
        exchange.answer(400, "not a proxy request\n");
        return;
    }
    const std::string_view rest = std::string_view(request.target).substr(kScheme.size());
    const std::size_t slash = rest.find('/');
    const int fd = connectLoopback(rest.substr(0, slash));
    if (fd < 0) {
        exchange.answer(502, "no such target\n");
        return;
    }
    const std::string out =
        forwardedRequest(request, slash == std::string_view::npos ? "/" : rest.substr(slash));
    std::string reply;
    if (::send(fd, out.data(), out.size(), MSG_NOSIGNAL) == static_cast<long>(out.size())) {
        char buffer[16384];
        for (long n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
            reply.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    exchange.send(reply);
}

}  // namespace

Handler forwardProxy() {
    return [](Exchange& exchange) {
        if (exchange.request().method != "CONNECT") {
            forward(exchange);
            return;
        }
        const int fd = connectLoopback(exchange.request().target);
        if (fd < 0) {
            exchange.answer(502, "no such target\n");
        } else if (exchange.send("HTTP/1.1 200 Connection established\r\n\r\n")) {
            exchange.relay(fd);
        } else {
            close(fd);
        }
    };
}

}  // namespace lianshuo::test

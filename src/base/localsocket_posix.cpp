#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "base/localsocket.h"
#include "base/platform.h"

namespace lianshuo::platform {
namespace {

constexpr std::size_t kLongestLine = 256;

Result<sockaddr_un> addressOf(const std::filesystem::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string text = path.string();
    if (text.size() >= sizeof address.sun_path) return systemFailure(ENAMETOOLONG);
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return address;
}

int newSocket(int flags = 0) {
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | flags, 0);
}

}  // namespace

LocalSocket& LocalSocket::operator=(LocalSocket&& other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0) ::close(descriptor_);
        descriptor_ = std::exchange(other.descriptor_, -1);
    }
    return *this;
}

LocalSocket::~LocalSocket() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

Status LocalSocket::send(std::string_view bytes) const {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(descriptor_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) continue;
            return systemFailure(errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return {};
}

Result<std::string> LocalSocket::readLine(int ms) const {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    std::string line;
    while (line.size() < kLongestLine) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return systemFailure(ETIMEDOUT);
        pollfd ready{descriptor_, POLLIN, 0};
        const int polled = ::poll(&ready, 1, static_cast<int>(left));
        if (polled < 0 && errno == EINTR) continue;
        if (polled < 0) return systemFailure(errno);
        if (polled == 0) return systemFailure(ETIMEDOUT);
        char c = 0;
        const ssize_t got = ::recv(descriptor_, &c, 1, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return systemFailure(errno);
        if (got == 0) return systemFailure(ECONNRESET);
        if (c == '\n') return line;
        line += c;
    }
    return systemFailure(EMSGSIZE);
}

LocalSocket LocalSocket::accept() const {
    const int client = ::accept4(descriptor_, nullptr, nullptr, SOCK_CLOEXEC);
    return LocalSocket(client);
}

Result<LocalSocket> listenLocal(const std::filesystem::path& path) {
    const Result<sockaddr_un> final = addressOf(path);
    if (!final) return final.error();
    // Bound in a folder only this user can enter, then moved into place: the socket is
    // never reachable by others, not even between its creation and a change of its mode.
    std::string folder = (path.parent_path() / ".lianshuo-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) return systemFailure(errno);
    const std::filesystem::path inside = std::filesystem::path(folder) / "s";
    const Result<sockaddr_un> first = addressOf(inside);
    LocalSocket socket(newSocket());
    int failed = !first ? ENAMETOOLONG : socket.valid() ? 0 : errno;
    if (failed == 0 &&
        ::bind(socket.descriptor(), reinterpret_cast<const sockaddr*>(&*first), sizeof *first) != 0)
        failed = errno;
    if (failed == 0 && ::listen(socket.descriptor(), 16) != 0) failed = errno;
    if (failed == 0 && ::fcntl(socket.descriptor(), F_SETFL, O_NONBLOCK) != 0) failed = errno;
    if (failed == 0 && ::rename(inside.c_str(), path.c_str()) != 0) failed = errno;
    if (failed != 0) ::unlink(inside.c_str());
    ::rmdir(folder.c_str());
    if (failed != 0) return systemFailure(failed);
    return socket;
}

Result<LocalSocket> connectLocal(const std::filesystem::path& path) {
    const Result<sockaddr_un> address = addressOf(path);
    if (!address) return address.error();
    // Not blocking while it connects: a local connect is taken or refused at once, and a
    // listener whose backlog is full (EAGAIN) is not waited for.
    LocalSocket socket(newSocket(SOCK_NONBLOCK));
    if (!socket.valid()) return systemFailure(errno);
    while (::connect(socket.descriptor(), reinterpret_cast<const sockaddr*>(&*address),
                     sizeof *address) != 0) {
        if (errno != EINTR) return systemFailure(errno);
    }
    if (::fcntl(socket.descriptor(), F_SETFL, 0) != 0) return systemFailure(errno);
    return socket;
}

std::filesystem::path socketFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime == '/') return runtime;
    std::error_code ec;
    std::filesystem::path temporary = std::filesystem::temp_directory_path(ec);
    return ec ? std::filesystem::path("/tmp") : temporary;
}

std::string userIdText() {
    return std::to_string(::getuid());
}

}  // namespace lianshuo::platform

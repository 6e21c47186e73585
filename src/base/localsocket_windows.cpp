// The Windows side of local sockets: not written yet. Every call fails, so a
// second start opens a window of its own, as before one instance was kept.

#include "base/localsocket.h"

namespace lianshuo::platform {
namespace {

Failure notWritten() {
    return {0, "这个系统上还不能让窗口相互找到"};
}

}  // namespace

LocalSocket& LocalSocket::operator=(LocalSocket&& other) noexcept {
    descriptor_ = std::exchange(other.descriptor_, -1);
    return *this;
}

LocalSocket::~LocalSocket() = default;

Status LocalSocket::send(std::string_view) const {
    return notWritten();
}

Result<std::string> LocalSocket::readLine(int) const {
    return notWritten();
}

LocalSocket LocalSocket::accept() const {
    return {};
}

Result<LocalSocket> listenLocal(const std::filesystem::path&) {
    return notWritten();
}

Result<LocalSocket> connectLocal(const std::filesystem::path&) {
    return notWritten();
}

std::filesystem::path socketFolder() {
    std::error_code ec;
    return std::filesystem::temp_directory_path(ec);
}

std::string userIdText() {
    return {};
}

}  // namespace lianshuo::platform

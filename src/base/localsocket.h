#pragma once
// Local stream sockets between programs of one user, for the window to hear a
// second start: the listening end lives in a file that only its user can reach.

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

#include "base/result.h"

namespace lianshuo::platform {

/// One end of a local socket, closed with the object.
class LocalSocket {
public:
    LocalSocket() = default;
    LocalSocket(LocalSocket&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
    LocalSocket& operator=(LocalSocket&& other) noexcept;
    LocalSocket(const LocalSocket&) = delete;
    LocalSocket& operator=(const LocalSocket&) = delete;
    ~LocalSocket();

    bool valid() const { return descriptor_ >= 0; }
    /// The descriptor, for a notifier that tells when it is readable.
    int descriptor() const { return descriptor_; }
    /// Sends all of `bytes`.
    Status send(std::string_view bytes) const;
    /// The next line (its "\n" dropped, at most 256 bytes), waiting up to `ms`
    /// milliseconds in all; fails on a timeout or when the other end closes.
    Result<std::string> readLine(int ms) const;
    /// On a listening socket: the next waiting connection, invalid when none waits.
    LocalSocket accept() const;

private:
    explicit LocalSocket(int descriptor) : descriptor_(descriptor) {}
    friend Result<LocalSocket> listenLocal(const std::filesystem::path& path);
    friend Result<LocalSocket> connectLocal(const std::filesystem::path& path);
    int descriptor_ = -1;
};

/// Listens at `path`, replacing whatever socket file is there; only this user
/// may connect. The caller asks first whether a program still answers there.
Result<LocalSocket> listenLocal(const std::filesystem::path& path);

/// Connects to the socket at `path`; the failure's code is the errno
/// (ECONNREFUSED or ENOENT: nothing listens there).
Result<LocalSocket> connectLocal(const std::filesystem::path& path);

/// The folder for this user's sockets: $XDG_RUNTIME_DIR, else the temporary folder.
std::filesystem::path socketFolder();

/// This user's id as text, to keep two accounts' names apart.
std::string userIdText();

}  // namespace lianshuo::platform

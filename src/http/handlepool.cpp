#include "http/handlepool.h"

#include <array>
#include <mutex>
#include <vector>

namespace lianshuo::transfer {
namespace {

constexpr std::size_t kIdleHandles = 8;
constexpr long kConnectionsPerHandle = 8;

using ShareLocks = std::array<std::mutex, CURL_LOCK_DATA_LAST>;

void lockShare(CURL*, curl_lock_data data, curl_lock_access, void* locks) {
    (*static_cast<ShareLocks*>(locks))[static_cast<std::size_t>(data)].lock();
}

void unlockShare(CURL*, curl_lock_data data, void* locks) {
    (*static_cast<ShareLocks*>(locks))[static_cast<std::size_t>(data)].unlock();
}

// TLS sessions and name look-ups are shared by every request, so that a request on a fresh
// connection to a known service resumes its TLS session instead of a full handshake.
// Connections stay out of the share: libcurl cannot share them between threads that run at the
// same time, and one slot may still be winding down while the next request starts. The pool
// keeps them instead.
curl::Share makeShare(ShareLocks& locks, bool withCookies) {
    curl::Share share = curl::Share::create();
    if (!share) return share;
    share.set(CURLSHOPT_USERDATA, static_cast<void*>(&locks));
    share.set(CURLSHOPT_LOCKFUNC, &lockShare);
    share.set(CURLSHOPT_UNLOCKFUNC, &unlockShare);
    share.set(CURLSHOPT_SHARE, static_cast<long>(CURL_LOCK_DATA_SSL_SESSION));
    share.set(CURLSHOPT_SHARE, static_cast<long>(CURL_LOCK_DATA_DNS));
    if (withCookies) share.set(CURLSHOPT_SHARE, static_cast<long>(CURL_LOCK_DATA_COOKIE));
    return share;
}

std::unique_ptr<PooledHandle> makeHandle() {
    auto handle = std::make_unique<PooledHandle>();
    handle->easy = curl::Easy::create();
    handle->multi = curl::Multi::create();
    if (!handle->easy || !handle->multi) return nullptr;
    handle->multi.set(CURLMOPT_MAXCONNECTS, kConnectionsPerHandle);
    return handle;
}

class HandlePool {
public:
    std::unique_ptr<PooledHandle> take() {
        {
            std::lock_guard lock(mutex_);
            if (!idle_.empty()) {
                std::unique_ptr<PooledHandle> handle = std::move(idle_.back());
                idle_.pop_back();
                return handle;
            }
        }
        return makeHandle();
    }

    void give(std::unique_ptr<PooledHandle> handle) {
        std::lock_guard lock(mutex_);
        // Beyond the pool's size the handle (and its connections) goes, outside the lock.
        if (idle_.size() < kIdleHandles) idle_.push_back(std::move(handle));
    }

private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<PooledHandle>> idle_;
};

// Built on the first request and taken down at exit in reverse order: the handles before the
// shares they use, the shares before their locks. libcurl's own global state (and the TLS
// library's exit handler) was set up before it, so it goes after.
struct Runtime {
    bool loaded = curl::api() != nullptr;
    ShareLocks locks;
    curl::Share jar = loaded ? makeShare(locks, true) : curl::Share();
    curl::Share sessions = loaded ? makeShare(locks, false) : curl::Share();
    HandlePool pool;
};

Runtime& runtime() {
    static Runtime instance;
    return instance;
}

}  // namespace

void HandleLease::release() {
    if (handle_) runtime().pool.give(std::move(handle_));
}

void ensureInitialised() {
    static_cast<void>(runtime());
}

HandleLease leaseHandle() {
    Runtime& r = runtime();
    if (!r.loaded) return {};
    return HandleLease(r.pool.take());
}

CURLSH* sharedCookieJar() {
    return runtime().jar.get();
}

CURLSH* sharedSessions() {
    return runtime().sessions.get();
}

}  // namespace lianshuo::transfer

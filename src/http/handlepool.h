#pragma once
// The process-wide libcurl state every request draws on: a small pool of handles, each with
// the connections it keeps alive and the CA store it parsed, and the shares that hold cookies,
// TLS sessions and name look-ups for every thread. Only the http library includes this header.

#include <memory>

#include "http/curlhandles.h"

namespace lianshuo::transfer {

/// An easy handle with the multi handle it runs in. The multi keeps the finished transfers'
/// connections and the parsed CA store, so the next transfer to the same host reuses both.
struct PooledHandle {
    curl::Easy easy;
    curl::Multi multi;  // declared last: it goes first, before the handle it served
};

/// One pooled handle, held by one transfer at a time and handed back when the lease ends.
class HandleLease {
public:
    HandleLease() = default;
    explicit HandleLease(std::unique_ptr<PooledHandle> handle) : handle_(std::move(handle)) {}
    ~HandleLease() { release(); }
    HandleLease(HandleLease&&) = default;
    HandleLease& operator=(HandleLease&&) = delete;

    explicit operator bool() const { return handle_ != nullptr; }
    const PooledHandle& operator*() const { return *handle_; }
    const PooledHandle* operator->() const { return handle_.get(); }
    /// Hands the handle back now (a waiting caller may want it for its next request).
    void release();

private:
    std::unique_ptr<PooledHandle> handle_;
};

/// Loads and initialises libcurl and builds the shared state, once, from any thread. Callers
/// whose own static objects use libcurl call it first, so that those objects go before it at
/// exit.
void ensureInitialised();

/// The most recently returned idle handle (it holds the freshest connections), or a new one;
/// empty when libcurl is unavailable.
HandleLease leaseHandle();

/// The process-wide cookie jar, shared by every thread (with TLS sessions and look-ups).
CURLSH* sharedCookieJar();

/// TLS sessions and look-ups shared by the requests that keep out of the cookie jar.
CURLSH* sharedSessions();

}  // namespace lianshuo::transfer

#pragma once
// The worker threads of the worker-thread engine. Only the http library includes this header.

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "http/transfer.h"

namespace lianshuo::transfer {

/// One request, shared by the caller and the worker that runs it; whichever lets go last
/// frees it.
struct PendingRequest {
    Request request;
    std::atomic<bool> abandoned{false};  // the caller gave up: the worker hangs up
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;  // under `mutex`, with `result`
    Result result;
};

/// Runs `pending` on an idle worker thread, or on a new one; throws std::system_error when no
/// thread can be started. The worker sets `done` once its handle is back in the pool.
void runOnWorker(std::shared_ptr<PendingRequest> pending);

}  // namespace lianshuo::transfer

#include "base/messages.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace lianshuo {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kMinGap = std::chrono::milliseconds(2);

std::function<void()>& pumpSlot() {
    static std::function<void()> pump;
    return pump;
}
Clock::time_point lastPump;
// The pump belongs to the thread that installed it (the window's): a worker
// thread waiting on a transfer must never run window code.
std::atomic<std::thread::id> pumpThread;

bool onPumpThread() {
    return pumpThread.load(std::memory_order_relaxed) == std::this_thread::get_id();
}

}  // namespace

std::function<void()> setMessagePump(std::function<void()> pump) {
    std::function<void()> previous = std::move(pumpSlot());
    pumpSlot() = std::move(pump);
    pumpThread = pumpSlot() ? std::this_thread::get_id() : std::thread::id();
    lastPump = {};
    return previous;
}

void processPendingMessagesNow() {
    if (!onPumpThread() || !pumpSlot()) return;
    lastPump = Clock::now();
    // Copy first: a handler run by the pump may install another pump.
    const std::function<void()> pump = pumpSlot();
    pump();
}

void processPendingMessages() {
    if (!onPumpThread() || !pumpSlot()) return;
    if (Clock::now() - lastPump < kMinGap) return;
    processPendingMessagesNow();
}

}  // namespace lianshuo

#include "app/base/messages.h"

#include <chrono>

namespace lianshuo {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kMinGap = std::chrono::milliseconds(2);

std::function<void()>& pumpSlot() {
    static std::function<void()> pump;
    return pump;
}
Clock::time_point lastPump;

}  // namespace

std::function<void()> setMessagePump(std::function<void()> pump) {
    std::function<void()> previous = std::move(pumpSlot());
    pumpSlot() = std::move(pump);
    lastPump = {};
    return previous;
}

void processPendingMessagesNow() {
    if (!pumpSlot()) return;
    lastPump = Clock::now();
    // Copy first: a handler run by the pump may install another pump.
    const std::function<void()> pump = pumpSlot();
    pump();
}

void processPendingMessages() {
    if (!pumpSlot()) return;
    if (Clock::now() - lastPump < kMinGap) return;
    processPendingMessagesNow();
}

}  // namespace lianshuo

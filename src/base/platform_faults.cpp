// The seam's test hook: failures on demand and a count of calls, so that full
// disks, read-only folders and I/O errors are tested without root or special mounts.

#include <array>
#include <mutex>

#include "base/platform.h"

#if LIANSHUO_FAULT_SEAM

namespace lianshuo::platform::faults {
namespace {

constexpr std::size_t kCalls = static_cast<std::size_t>(Call::Lock) + 1;

struct State {
    std::mutex mutex;
    std::array<int, kCalls> counts{};
    std::array<int, kCalls> pending{};
    std::array<int, 3> terminals{-1, -1, -1};  // by StandardStream
};

State& state() {
    static State shared;
    return shared;
}

std::size_t index(Call call) {
    return static_cast<std::size_t>(call);
}

}  // namespace

void failNext(Call call, int error) {
    const std::lock_guard<std::mutex> guard(state().mutex);
    state().pending[index(call)] = error;
}

int count(Call call) {
    const std::lock_guard<std::mutex> guard(state().mutex);
    return state().counts[index(call)];
}

void reset() {
    const std::lock_guard<std::mutex> guard(state().mutex);
    state().counts = {};
    state().pending = {};
    state().terminals = {-1, -1, -1};
}

void fakeTerminal(StandardStream stream, bool terminal) {
    const std::lock_guard<std::mutex> guard(state().mutex);
    state().terminals.at(static_cast<std::size_t>(stream)) = terminal ? 1 : 0;
}

int fakedTerminal(StandardStream stream) {
    const std::lock_guard<std::mutex> guard(state().mutex);
    return state().terminals.at(static_cast<std::size_t>(stream));
}

int intercept(Call call) {
    const std::lock_guard<std::mutex> guard(state().mutex);
    ++state().counts[index(call)];
    return std::exchange(state().pending[index(call)], 0);
}

}  // namespace lianshuo::platform::faults

#endif

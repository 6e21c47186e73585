#pragma once
// "Process pending window messages": long loops call processPendingMessages()
// after every step so the window stays alive. It is a no-op until the window
// installs its event processing. Some loops call it once per byte, so the call
// only pumps when the last pump lies a few milliseconds back.

#include <functional>

namespace lianshuo {

/// Installs the process-wide pump (empty function: none) for the calling
/// thread; calls from any other thread do nothing. Returns the previous one.
std::function<void()> setMessagePump(std::function<void()> pump);

/// Runs the pump unless it ran less than two milliseconds ago.
void processPendingMessages();

/// Runs the pump now, whatever the time since the last one.
void processPendingMessagesNow();

}  // namespace lianshuo

#pragma once
// Ready-made handlers for the test server: plain answers and pages that fail on purpose.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/test_server.h"

namespace lianshuo::test {

/// Answers with `status`, `headers` ("Name: value" lines) and `body`.
Handler reply(int status, std::string body, std::vector<std::string> headers = {});

/// Answers like reply() once `delay` has passed; not at all when the client hangs up first.
Handler delayedReply(std::chrono::milliseconds delay, int status, std::string body,
                     std::vector<std::string> headers = {});

/// Never answers: waits until the client hangs up or the server stops.
Handler neverAnswer();

/// Announces the whole body, then sends it in `pieces` pieces with `gap` between two of them.
Handler trickle(std::string body, int pieces, std::chrono::milliseconds gap);

/// Announces the whole body, sends half of it, then resets the connection.
Handler resetMidBody(std::string body);

/// Announces the whole body, sends half of it, then closes the connection in order.
Handler cutShort(std::string body);

/// Resets the connection as soon as the request is in, before any reply.
Handler resetAtOnce();

/// Redirects to `location` (a path or a whole URL).
Handler redirectTo(std::string location, int status = 302);

/// Streams `size` bytes of "x" without holding them; with `announce`, Content-Length says so
/// up front, else the body runs until the connection closes.
Handler oversized(std::uint64_t size, bool announce);

/// A forward proxy to servers on 127.0.0.1: absolute-form requests are passed on (one per
/// connection) and CONNECT opens a tunnel. Route it with routeOthers(); the proxy server's
/// requests() then show what came through it.
Handler forwardProxy();

/// `plain` as one gzip member.
std::string gzipOf(std::string_view plain);

/// A small gzip member that expands to `size` zero bytes.
std::string gzipOfZeros(std::uint64_t size);

}  // namespace lianshuo::test

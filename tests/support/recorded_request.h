#pragma once
// One request exactly as the test server received it.

#include <string>
#include <string_view>
#include <vector>

namespace lianshuo::test {

struct RecordedRequest {
    std::string requestLine;               // "GET /a?b=1 HTTP/1.1"
    std::string method;                    // "GET"
    std::string target;                    // "/a?b=1", or "http://host:port/a?b=1" via a proxy
    std::string path;                      // "/a": the target without scheme, host and query
    std::vector<std::string> headerLines;  // "Name: value", in the order received
    std::string body;

    /// The value of the first header named `name` (case-blind), trimmed; empty when absent.
    std::string header(std::string_view name) const;
    /// How many header lines are named `name` (case-blind).
    int headerCount(std::string_view name) const;
    /// The header names in the order received.
    std::vector<std::string> headerNames() const;
};

/// The path part of a request target (origin or absolute form).
std::string pathOfTarget(std::string_view target);

}  // namespace lianshuo::test

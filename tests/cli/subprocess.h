#pragma once
// Runs the built program as a user would, with standard input given and
// both output streams captured.

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace lianshuo::test {

struct ProcessResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out, err;
};

/// Runs `program` with `args` and `input` on its standard input; killed after `limit`.
/// `onOutput` sees standard output as it grows and may return a signal to send (0: none).
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = {},
                         std::chrono::seconds limit = std::chrono::seconds(60),
                         std::function<int(const std::string&)> onOutput = {});

}  // namespace lianshuo::test

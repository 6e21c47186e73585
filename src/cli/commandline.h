#pragma once
// The command line: the batch, the file converter and the saved interfaces
// without a window, through the same engines the windows use.

#include <iosfwd>
#include <string>
#include <vector>

namespace lianshuo {

/// Runs one command; `args` are the arguments after the program name, in the
/// terminal's encoding (UTF-8). Everything printed is UTF-8. Returns the exit
/// status: 0 success, 1 a conversion failed, 2 bad usage or input, 130 interrupted.
int runCommandLine(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                   std::ostream& err);

/// Sets up SIGINT so that an interrupt stops a run the way the window's stop does.
void installInterruptHandler();

}  // namespace lianshuo

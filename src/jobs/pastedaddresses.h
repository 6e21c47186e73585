#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lianshuo {

/// The long addresses of a pasted text, one per line: trimmed (full-width
/// spaces too), empty lines skipped, "http://" put before a line without "://".
std::vector<std::string> pastedAddresses(std::string_view text);

}  // namespace lianshuo

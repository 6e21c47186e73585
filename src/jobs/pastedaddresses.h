#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lianshuo {

/// The long addresses of a pasted text, one per line: trimmed (full-width
/// spaces too), empty lines skipped, "http://" put before a line without "://".
std::vector<std::string> pastedAddresses(std::string_view text);

/// The long address of one pasted line (without its LF), as pastedAddresses()
/// takes it; nullopt for a line of spaces.
std::optional<std::string> pastedAddress(std::string line);

}  // namespace lianshuo

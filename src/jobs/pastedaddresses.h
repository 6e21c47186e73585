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

/// Whether `address`, as pastedAddress() gives it (an alias after a tab is left
/// aside), can be a web address at all: its host holds a dot, or is an IP
/// literal or "localhost", and it holds no white space. Anything else would
/// only be sent for the service to refuse, or to some host on the local network.
bool looksLikeWebAddress(std::string_view address);

/// One line of a pasted text or a list file, as a results row takes it.
struct PastedLine {
    std::string address;     // as pastedAddress() gives it, with its alias
    bool webAddress = true;  // false: its row fails with "不是网址" and is never sent
};

/// The lines of a pasted text (GBK), as pastedAddresses() reads them, each judged.
std::vector<PastedLine> pastedLines(std::string_view text);

/// The lines of a list file's bytes, one address a line with an optional tab
/// and alias, as the command line reads its input: each line UTF-8 when it is
/// valid UTF-8, else GBK.
std::vector<PastedLine> listedLines(std::string_view bytes);

/// Whether a file's bytes read as a list (listedLines()) rather than as a text
/// to find addresses in: none of its lines holds white space outside its alias.
bool readsAsAddressList(std::string_view bytes);

}  // namespace lianshuo

#pragma once
// Finding web addresses in a file's own bytes (UTF-8 or GBK), a block at a
// time, so that a file of any size is read with flat memory. An address is a
// run of scheme letters ("A" to "z", which also holds "[", "\", "]", "^", "_"
// and the back quote: how users' pages have always been read), "://", then at
// least one character that is neither white space, a quote, "<", ">" nor a CJK
// ideograph (U+4E00 to U+9FA5). Scheme letters are ASCII bytes only, so no
// look-alike letter (the Kelvin sign, the long s) ever starts an address.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace lianshuo {

/// Called for each address: its offset in the whole input and its bytes.
using AddressFound = std::function<void(std::size_t offset, std::string_view bytes)>;

/// Scans `buffer`, which starts at a character boundary, for addresses and
/// reports each complete one (offsets relative to the buffer). Returns how much
/// of the buffer is settled: no address that more input could still change
/// starts before it. With `final`, the whole buffer is settled.
std::size_t scanAddresses(std::string_view buffer, bool utf8, bool final,
                          const AddressFound& found);

/// Sees each address of a file in order, with its offset, and returns what
/// stands for it in the output (its own bytes to keep it).
using AddressVisitor = std::function<std::string_view(std::size_t offset, std::string_view bytes)>;

/// Streams the file at `path` through the scanner. `out`, when set, receives
/// the file in order with every address replaced by what `visit` returned;
/// false from it ends the scan. The system's reason (GBK) on a failure.
std::string scanFile(const std::filesystem::path& path, bool utf8, const AddressVisitor& visit,
                     const std::function<bool(std::string_view)>& out = {});

/// Streams the file at `path` unchanged through `out` (false from it ends the
/// copy); the system's reason (GBK) on a failure.
std::string streamFile(const std::filesystem::path& path,
                       const std::function<bool(std::string_view)>& out);

/// Whether the whole file is valid UTF-8, read in blocks; the reason on a read failure.
struct Utf8Check {
    bool utf8 = false;
    std::string error;
};
Utf8Check fileIsUtf8(const std::filesystem::path& path);

/// Decides whether the file at `path` is UTF-8 (as fileIsUtf8() does) and
/// sets `utf8` before `visit` sees the first address, then sees its addresses
/// (as scanFile() does, writing nothing). A file that fits in one block is read
/// once for both. The system's reason (GBK) on a failure.
std::string scanFileOfEitherEncoding(const std::filesystem::path& path, bool& utf8,
                                     const AddressVisitor& visit);

/// The size of the blocks files are read in; tests make it small to put
/// addresses across block borders.
void setScanBlockSize(std::size_t bytes);

}  // namespace lianshuo

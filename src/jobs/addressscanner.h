#pragma once
// Finding web addresses in a file's own bytes (UTF-8 or GBK), a block at a
// time, so that a file of any size is read with flat memory. An address is a
// run of scheme letters ("A" to "z", which also holds "[", "\", "]", "^", "_"
// and the back quote: how users' pages have always been read), "://", then at
// least one character that is neither white space, a quote, "<", ">" nor a CJK
// ideograph (U+4E00 to U+9FA5). Scheme letters are ASCII bytes only, so no
// look-alike letter (the Kelvin sign, the long s) ever starts an address, and
// at most the 4096 before "://" count. In GBK, a lead byte (0x81 to 0xFE) and
// the trail byte after it (0x40 to 0xFE but 0x7F) are one character; any other
// byte stands alone. Input read in pieces gives what the whole input gives.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "base/result.h"

namespace lianshuo {

/// Called for each address: its offset in the whole input and its bytes.
using AddressFound = std::function<void(std::size_t offset, std::string_view bytes)>;

/// The size of the blocks files are read in.
inline constexpr std::size_t kScanBlockSize = std::size_t{4} << 20;

/// Scans `buffer`, which starts at a character boundary, for addresses and
/// reports each complete one (offsets relative to the buffer). Returns how much
/// of the buffer is settled: a character boundary before which no address that
/// more input could still change starts. With `final`, the whole buffer is settled.
std::size_t scanAddresses(std::string_view buffer, bool utf8, bool final,
                          const AddressFound& found);

/// Sees each address of a file in order, with its offset, and returns what
/// stands for it in the output (its own bytes to keep it).
using AddressVisitor = std::function<std::string_view(std::size_t offset, std::string_view bytes)>;

/// Receives output in order; false ends the scan.
using OutputSink = std::function<bool(std::string_view)>;

/// The scanner over input that comes in pieces of any size: it finds what
/// scanAddresses() finds in the whole input, holding back only the unsettled tail.
class AddressStream {
public:
    /// `out`, when set, receives the input in order with every address
    /// replaced by what `visit` returned.
    AddressStream(bool utf8, AddressVisitor visit, OutputSink out = {});
    /// The unsettled input; append the next piece to it, then call settle().
    std::string& pending() { return buffer_; }
    /// Scans what is pending; `final` when no more input follows. False once `out` refused.
    bool settle(bool final);

private:
    bool utf8_;
    AddressVisitor visit_;
    OutputSink out_;
    std::string buffer_;
    std::size_t base_ = 0;  // offset of buffer_[0] in the whole input
    bool stopped_ = false;
};

/// Streams the file at `path` through an AddressStream, `block` bytes at a
/// time. A failure gives the system's reason (GBK), or why it is no regular file.
Status scanFile(const std::filesystem::path& path, bool utf8, const AddressVisitor& visit,
                const OutputSink& out = {}, std::size_t block = kScanBlockSize);

/// Streams the file at `path` unchanged through `out` (false from it ends the
/// copy); a failure gives the system's reason (GBK).
Status streamFile(const std::filesystem::path& path, const OutputSink& out,
                  std::size_t block = kScanBlockSize);

/// Whether the whole file is valid UTF-8, read in blocks.
Result<bool> fileIsUtf8(const std::filesystem::path& path, std::size_t block = kScanBlockSize);

/// As scanFileOfEitherEncoding() for a file smaller than `below` bytes, read
/// once; false, with nothing read or seen, for a larger one.
Result<bool> scanSmallFile(const std::filesystem::path& path, bool& utf8,
                           const AddressVisitor& visit, std::uintmax_t below);

/// Decides whether the file at `path` is UTF-8 (as fileIsUtf8() does) and
/// sets `utf8` before `visit` sees the first address, then sees its addresses
/// (as scanFile() does, writing nothing). A file that fits in one block is read
/// once for both. A failure gives the system's reason (GBK).
Status scanFileOfEitherEncoding(const std::filesystem::path& path, bool& utf8,
                                const AddressVisitor& visit, std::size_t block = kScanBlockSize);

}  // namespace lianshuo

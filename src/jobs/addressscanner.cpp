#include "jobs/addressscanner.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include "base/charset.h"
#include "base/platform.h"
#include "script/gbkunits.h"

namespace lianshuo {
namespace {

// The longest scheme: letters further back before "://" are not part of the
// address, so that a stream holds back a bounded tail.
constexpr std::size_t kLongestScheme = 4096;

bool isSchemeByte(unsigned char c) {
    return c >= 'A' && c <= 'z';
}

// A GBK character is a lead byte (0x81 to 0xFE) and a trail byte (0x40 to
// 0xFE but 0x7F); any other byte stands alone. So a byte that is no lead
// always ends a character, and a place after one is a boundary.
bool isGbkLead(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

bool isGbkTrail(unsigned char c) {
    return c >= 0x40 && c <= 0xFE && c != 0x7F;
}

// ASCII bytes that end an address: PCRE's \s, the quotes, "<" and ">".
constexpr std::array<bool, 128> kAsciiEnds = [] {
    std::array<bool, 128> table{};
    for (const char c : std::string_view(" \t\n\v\f\r\"'<>"))
        table[static_cast<unsigned char>(c)] = true;
    return table;
}();

bool isIdeograph(char32_t cp) {
    return cp >= 0x4E00 && cp <= 0x9FA5;
}

// Length of the character at `pos` and whether it ends an address; 0 when the
// buffer ends inside it and more input may follow.
struct Char {
    std::size_t length;
    bool ends;
};

Char charAt(std::string_view text, std::size_t pos, bool utf8, bool final) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) return {1, kAsciiEnds[lead]};
    const std::size_t left = text.size() - pos;
    if (utf8) {
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (length > left) return {final ? left : 0, false};
        char32_t cp = length == 1 ? lead : (lead & (0x7F >> length));
        for (std::size_t k = 1; k < length; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[pos + k]) & 0x3F);
        return {length, isIdeograph(cp)};
    }
    if (!isGbkLead(lead)) return {1, false};
    if (left < 2) return {final ? std::size_t{1} : 0, false};
    if (!isGbkTrail(static_cast<unsigned char>(text[pos + 1]))) return {1, false};
    return {2, isIdeograph(gbkunits::decodeUnit(text.substr(pos, 2), 0).codePoint)};
}

// The last character boundary at or before `pos` in a buffer that starts at
// one. At the buffer's end, a lead byte the next input may pair is held back.
std::size_t boundaryAtOrBefore(std::string_view text, std::size_t pos, bool utf8) {
    if (utf8) {
        if (pos >= text.size()) {
            // A sequence the end of the buffer cuts starts the unsettled part.
            pos = text.size();
            for (std::size_t back = 1; back <= 4 && back <= pos; ++back) {
                const auto c = static_cast<unsigned char>(text[pos - back]);
                if ((c & 0xC0) == 0x80) continue;
                const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
                return length > back ? pos - back : pos;
            }
            return pos;
        }
        while (pos > 0 && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) --pos;
        return pos;
    }
    // Lead bytes before `pos` pair up from the last byte that is none.
    std::size_t at = pos;
    while (at > 0 && isGbkLead(static_cast<unsigned char>(text[at - 1]))) --at;
    if ((pos - at) % 2 == 0) return pos;
    const bool paired = pos >= text.size() || isGbkTrail(static_cast<unsigned char>(text[pos]));
    return paired ? pos - 1 : pos;
}

Status openFailure(const Status& status) {
    return status.reason().empty() ? Status(platform::systemFailure(EIO)) : status;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The block to read `path` in: a small file is read whole, into a buffer no
// larger than it (growing the buffer to a full block costs as much as reading).
std::size_t blockFor(const std::filesystem::path& path, std::size_t block) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size >= block) return block;
    return std::max<std::size_t>(16, static_cast<std::size_t>(size) + 1);
}

// Appends the next `block` bytes of `file` to `buffer`; true at the end of the file.
Result<bool> readNextBlock(std::FILE* file, std::string& buffer, std::size_t block) {
    const std::size_t kept = buffer.size();
    buffer.resize(kept + block);
    const Result<std::size_t> got = platform::readBlock(file, buffer.data() + kept, block);
    if (!got) {
        buffer.resize(kept);
        return got.status();
    }
    buffer.resize(kept + *got);
    return *got < block;
}

}  // namespace

std::size_t scanAddresses(std::string_view buffer, bool utf8, bool final,
                          const AddressFound& found) {
    std::size_t pos = 0;      // where the search for "://" goes on
    std::size_t lastEnd = 0;  // an address never starts before the end of the previous one
    while (true) {
        const void* colon = std::memchr(buffer.data() + pos, ':', buffer.size() - pos);
        if (colon == nullptr) break;
        const std::size_t hit =
            static_cast<std::size_t>(static_cast<const char*>(colon) - buffer.data());
        if (hit + 3 > buffer.size()) {
            pos = hit;
            break;
        }
        pos = hit + 1;
        if (buffer[hit + 1] != '/' || buffer[hit + 2] != '/') continue;
        std::size_t start = hit;
        while (start > lastEnd && hit - start < kLongestScheme &&
               isSchemeByte(static_cast<unsigned char>(buffer[start - 1])))
            --start;
        // In GBK a letter may be the second byte of a character: it is no scheme letter.
        if (!utf8 && start < hit && boundaryAtOrBefore(buffer, start, false) != start) ++start;
        if (start == hit) continue;
        std::size_t end = hit + 3;
        bool open = false;
        while (end < buffer.size()) {
            const Char c = charAt(buffer, end, utf8, final);
            if (c.length == 0) {
                open = true;
                break;
            }
            if (c.ends) break;
            end += c.length;
        }
        if (end == buffer.size() && !final) open = true;
        // The rest of this address may still come: settle only what lies before it.
        if (open && !final) return start;
        if (end == hit + 3) continue;
        found(start, buffer.substr(start, end - start));
        lastEnd = pos = end;
    }
    if (final) return buffer.size();
    // Trailing scheme letters, ":" or ":/" may begin an address the next block completes.
    std::size_t cut = buffer.size();
    const std::size_t held = std::min(buffer.size(), kLongestScheme + 2);
    while (cut > lastEnd && cut > buffer.size() - held) {
        const auto c = static_cast<unsigned char>(buffer[cut - 1]);
        if (!isSchemeByte(c) && c != ':' && c != '/') break;
        --cut;
    }
    return std::max(lastEnd, boundaryAtOrBefore(buffer, cut, utf8));
}

AddressStream::AddressStream(bool utf8, AddressVisitor visit, OutputSink out)
    : utf8_(utf8), visit_(std::move(visit)), out_(std::move(out)) {}

bool AddressStream::settle(bool final) {
    if (stopped_) return false;
    std::size_t copied = 0;
    const std::size_t settled =
        scanAddresses(buffer_, utf8_, final, [&](std::size_t offset, std::string_view bytes) {
            const std::string_view replacement = visit_(base_ + offset, bytes);
            if (!out_ || stopped_) return;
            stopped_ = !out_(std::string_view(buffer_).substr(copied, offset - copied)) ||
                       !out_(replacement);
            copied = offset + bytes.size();
        });
    if (out_ && !stopped_)
        stopped_ = !out_(std::string_view(buffer_).substr(copied, settled - copied));
    buffer_.erase(0, settled);
    base_ += settled;
    return !stopped_;
}

Status scanFile(const std::filesystem::path& path, bool utf8, const AddressVisitor& visit,
                const OutputSink& out, std::size_t block) {
    const Result<std::FILE*> opened = platform::openRegularFile(path);
    if (!opened) return openFailure(opened.status());
    const FilePtr file(*opened);
    AddressStream stream(utf8, visit, out);
    block = blockFor(path, block);
    for (bool final = false; !final;) {
        const Result<bool> read = readNextBlock(file.get(), stream.pending(), block);
        if (!read) return read.status();
        final = *read;
        if (!stream.settle(final)) break;
    }
    return {};
}

Status streamFile(const std::filesystem::path& path, const OutputSink& out, std::size_t block) {
    const Result<std::FILE*> opened = platform::openRegularFile(path);
    if (!opened) return openFailure(opened.status());
    const FilePtr file(*opened);
    std::string buffer;
    block = blockFor(path, block);
    for (bool final = false; !final;) {
        buffer.clear();
        const Result<bool> read = readNextBlock(file.get(), buffer, block);
        if (!read) return read.status();
        final = *read;
        if (!out(buffer)) break;
    }
    return {};
}

Result<bool> scanSmallFile(const std::filesystem::path& path, bool& utf8,
                           const AddressVisitor& visit, std::uintmax_t below) {
    // A site is thousands of small files: a buffer kept by each thread and only ever grown
    // spares each of them an allocation and the zeroing of bytes about to be read over.
    thread_local std::string scratch;
    const Result<platform::SmallFile> read = platform::readSmallFile(path, scratch, below);
    if (!read) return openFailure(read.status());
    if (!read->whole) return false;
    const std::string_view buffer(scratch.data(), read->size);
    utf8 = isValidUtf8(buffer);
    scanAddresses(buffer, utf8, true,
                  [&visit](std::size_t offset, std::string_view bytes) { visit(offset, bytes); });
    return true;
}

Status scanFileOfEitherEncoding(const std::filesystem::path& path, bool& utf8,
                                const AddressVisitor& visit, std::size_t block) {
    utf8 = false;
    const Result<bool> small = scanSmallFile(path, utf8, visit, block);
    if (!small) return small.status();
    if (*small) return {};
    const Result<bool> check = fileIsUtf8(path, block);
    if (!check) return check.status();
    utf8 = *check;
    return scanFile(path, utf8, visit, {}, block);
}

Result<bool> fileIsUtf8(const std::filesystem::path& path, std::size_t block) {
    const Result<std::FILE*> opened = platform::openRegularFile(path);
    if (!opened) return openFailure(opened.status());
    const FilePtr file(*opened);
    std::string buffer;
    block = blockFor(path, block);
    while (true) {
        const Result<bool> read = readNextBlock(file.get(), buffer, block);
        if (!read) return read.status();
        if (*read) return isValidUtf8(buffer);
        // Hold back a sequence the block border cuts, for the next block to complete.
        std::size_t cut = buffer.size();
        for (std::size_t back = 1; back <= 3 && back <= buffer.size(); ++back) {
            const auto c = static_cast<unsigned char>(buffer[buffer.size() - back]);
            if ((c & 0xC0) == 0xC0) {
                cut = buffer.size() - back;
                break;
            }
            if ((c & 0xC0) != 0x80) break;
        }
        if (!isValidUtf8(std::string_view(buffer).substr(0, cut))) return false;
        buffer.erase(0, cut);
    }
}

}  // namespace lianshuo

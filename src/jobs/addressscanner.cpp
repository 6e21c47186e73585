#include "jobs/addressscanner.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/base/charset.h"
#include "app/base/platform.h"
#include "script/gbkunits.h"

namespace lianshuo {
namespace {

std::size_t blockSize = std::size_t{4} << 20;

bool isSchemeByte(unsigned char c) {
    return c >= 'A' && c <= 'z';
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
// buffer ends inside it.
struct Char {
    std::size_t length;
    bool ends;
};

Char charAt(std::string_view text, std::size_t pos, bool utf8) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) return {1, kAsciiEnds[lead]};
    if (utf8) {
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (pos + length > text.size()) return {0, false};
        char32_t cp = length == 1 ? lead : (lead & (0x7F >> length));
        for (std::size_t k = 1; k < length; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[pos + k]) & 0x3F);
        return {length, isIdeograph(cp)};
    }
    if (pos + 1 >= text.size()) return {0, false};
    const gbkunits::Unit unit = gbkunits::decodeUnit(text, pos);
    return {unit.length, isIdeograph(unit.codePoint)};
}

// The last character boundary at or before `pos` in a buffer that starts at one.
std::size_t boundaryAtOrBefore(std::string_view text, std::size_t pos, bool utf8) {
    if (pos >= text.size()) return text.size();
    if (utf8) {
        while (pos > 0 && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) --pos;
        return pos;
    }
    // A byte below 0x40 is never part of a double-byte character, so the place
    // after the nearest one is a boundary; walk forward from there.
    std::size_t at = pos;
    while (at > 0 && static_cast<unsigned char>(text[at - 1]) >= 0x40) --at;
    while (true) {
        const std::size_t length = static_cast<unsigned char>(text[at]) >= 0x81 ? 2 : 1;
        if (at + length > pos) return at;
        at += length;
    }
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string openFailure() {
    return platform::errorText(errno != 0 ? errno : EIO);
}

// The block to read `path` in: a small file is read whole, into a buffer no
// larger than it (growing the buffer to a full block costs as much as reading).
std::size_t blockFor(const std::filesystem::path& path) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size >= blockSize) return blockSize;
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

void setScanBlockSize(std::size_t bytes) {
    blockSize = bytes < 16 ? 16 : bytes;
}

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
        while (start > lastEnd && isSchemeByte(static_cast<unsigned char>(buffer[start - 1])))
            --start;
        // In GBK a letter may be the second byte of a character: it is no scheme letter.
        if (!utf8 && start < hit && boundaryAtOrBefore(buffer, start, false) != start) ++start;
        if (start == hit) continue;
        std::size_t end = hit + 3;
        bool open = false;
        while (end < buffer.size()) {
            const Char c = charAt(buffer, end, utf8);
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
    while (cut > lastEnd && cut > buffer.size() - std::min<std::size_t>(buffer.size(), 4096)) {
        const auto c = static_cast<unsigned char>(buffer[cut - 1]);
        if (!isSchemeByte(c) && c != ':' && c != '/') break;
        --cut;
    }
    return std::max(lastEnd, boundaryAtOrBefore(buffer, cut, utf8));
}

std::string scanFile(const std::filesystem::path& path, bool utf8, const AddressVisitor& visit,
                     const std::function<bool(std::string_view)>& out) {
    errno = 0;
    FilePtr file(platform::openFileStream(path, "rb"));
    if (!file) return openFailure();
    std::string buffer;
    std::size_t base = 0;  // offset of buffer[0] in the file
    bool stopped = false;
    bool final = false;
    const std::size_t block = blockFor(path);
    while (!final && !stopped) {
        const Result<bool> read = readNextBlock(file.get(), buffer, block);
        if (!read) return read.status().reason();
        final = *read;
        std::size_t copied = 0;
        const std::size_t settled =
            scanAddresses(buffer, utf8, final, [&](std::size_t offset, std::string_view bytes) {
                const std::string_view replacement = visit(base + offset, bytes);
                if (!out || stopped) return;
                stopped = !out(std::string_view(buffer).substr(copied, offset - copied)) ||
                          !out(replacement);
                copied = offset + bytes.size();
            });
        if (out && !stopped)
            stopped = !out(std::string_view(buffer).substr(copied, settled - copied));
        buffer.erase(0, settled);
        base += settled;
    }
    return {};
}

std::string streamFile(const std::filesystem::path& path,
                       const std::function<bool(std::string_view)>& out) {
    errno = 0;
    FilePtr file(platform::openFileStream(path, "rb"));
    if (!file) return openFailure();
    std::string buffer;
    const std::size_t block = blockFor(path);
    for (bool final = false; !final;) {
        buffer.clear();
        const Result<bool> read = readNextBlock(file.get(), buffer, block);
        if (!read) return read.status().reason();
        final = *read;
        if (!out(buffer)) break;
    }
    return {};
}

std::string scanFileOfEitherEncoding(const std::filesystem::path& path, bool& utf8,
                                     const AddressVisitor& visit) {
    utf8 = false;
    const std::size_t block = blockFor(path);
    if (block < blockSize) {
        errno = 0;
        FilePtr file(platform::openFileStream(path, "rb"));
        if (!file) return openFailure();
        std::string buffer;
        const Result<bool> read = readNextBlock(file.get(), buffer, block);
        if (!read) return read.status().reason();
        // The whole file is in memory unless it grew since its size was taken.
        if (*read) {
            utf8 = isValidUtf8(buffer);
            scanAddresses(buffer, utf8, true, [&visit](std::size_t offset, std::string_view bytes) {
                visit(offset, bytes);
            });
            return {};
        }
    }
    const Utf8Check check = fileIsUtf8(path);
    if (!check.error.empty()) return check.error;
    utf8 = check.utf8;
    return scanFile(path, utf8, visit);
}

Utf8Check fileIsUtf8(const std::filesystem::path& path) {
    errno = 0;
    FilePtr file(platform::openFileStream(path, "rb"));
    if (!file) return {false, openFailure()};
    std::string buffer;
    const std::size_t block = blockFor(path);
    while (true) {
        const Result<bool> read = readNextBlock(file.get(), buffer, block);
        if (!read) return {false, read.status().reason()};
        if (*read) return {isValidUtf8(buffer), {}};
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
        if (!isValidUtf8(std::string_view(buffer).substr(0, cut))) return {false, {}};
        buffer.erase(0, cut);
    }
}

}  // namespace lianshuo

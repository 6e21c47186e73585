#include "base/pngwriter.h"

#include <zlib.h>

#include <cstdint>
#include <string_view>

namespace lianshuo {
namespace {

void putBigEndian(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

// Length, type, data and the CRC of type and data.
void putChunk(std::string& out, std::string_view type, std::string_view data) {
    putBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.append(type);
    out.append(data);
    const auto* bytes = reinterpret_cast<const Bytef*>(out.data() + typeAt);
    putBigEndian(out, static_cast<std::uint32_t>(
                          crc32(0L, bytes, static_cast<uInt>(type.size() + data.size()))));
}

}  // namespace

Result<std::string> blackAndWhitePng(int width, int height,
                                     const std::function<bool(int x, int y)>& white) {
    // Each row: the filter byte (0, none), then eight pixels a byte, first pixel highest.
    const std::size_t rowBytes = 1 + (static_cast<std::size_t>(width) + 7) / 8;
    std::string raw(rowBytes * static_cast<std::size_t>(height), '\0');
    for (int y = 0; y < height; ++y) {
        char* row = raw.data() + rowBytes * static_cast<std::size_t>(y) + 1;
        for (int x = 0; x < width; ++x)
            if (white(x, y)) row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    const int zs = compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                             reinterpret_cast<const Bytef*>(raw.data()),
                             static_cast<uLong>(raw.size()), Z_BEST_COMPRESSION);
    if (zs != Z_OK) return Failure{0, std::string("zlib 压缩失败：") + zError(zs)};
    packed.resize(packedSize);

    std::string header;
    putBigEndian(header, static_cast<std::uint32_t>(width));
    putBigEndian(header, static_cast<std::uint32_t>(height));
    // Bit depth 1, colour type 0 (grayscale), deflate, adaptive filtering, no interlace.
    header.append({'\x01', '\x00', '\x00', '\x00', '\x00'});
    std::string png("\x89PNG\r\n\x1A\n", 8);
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", packed);
    putChunk(png, "IEND", {});
    return png;
}

}  // namespace lianshuo

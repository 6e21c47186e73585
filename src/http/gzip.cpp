#include "http/gzip.h"

#include <zlib.h>

#include <algorithm>

#include "http/charsets.h"

namespace lianshuo {

GunzipResult gunzip(std::string_view bytes, std::size_t limit) {
    GunzipResult result;
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) return result;
    auto* next = reinterpret_cast<const Bytef*>(bytes.data());
    std::size_t left = bytes.size();
    char buffer[16384];
    for (;;) {
        if (stream.avail_in == 0 && left > 0) {
            // zlib counts input in 32-bit units; feed larger bodies piecewise.
            stream.next_in = const_cast<Bytef*>(next);
            stream.avail_in = static_cast<uInt>(std::min<std::size_t>(left, 1u << 30));
            next += stream.avail_in;
            left -= stream.avail_in;
        }
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        const int rc = inflate(&stream, Z_NO_FLUSH);
        const std::size_t produced = sizeof buffer - stream.avail_out;
        if (produced > limit - result.bytes.size()) {
            result.status = GunzipStatus::TooLarge;
            result.bytes.clear();
            break;
        }
        result.bytes.append(buffer, produced);
        if (rc == Z_STREAM_END) {
            const std::string_view rest(reinterpret_cast<const char*>(stream.next_in),
                                        stream.avail_in);
            // Concatenated members are one body; anything else after the end is ignored.
            if (rest.starts_with(kGzipSignature) && inflateReset(&stream) == Z_OK) continue;
            result.status = GunzipStatus::Complete;
            break;
        }
        if (rc != Z_OK) break;  // corrupt data, or input that ends inside the stream
    }
    inflateEnd(&stream);
    return result;
}

std::optional<std::string> expandedBody(std::string_view body) {
    if (!body.starts_with(kGzipSignature)) return std::string(body);
    GunzipResult result = gunzip(body, kMaxResponseBytes);
    // A stream cut off (or damaged) gives no text at all: its first part would read as a whole.
    if (result.status != GunzipStatus::Complete) return std::nullopt;
    return std::move(result.bytes);
}

std::optional<std::string> gunzipBytes(std::string_view bytes, std::size_t limit) {
    GunzipResult result = gunzip(bytes, limit);
    if (result.status != GunzipStatus::Complete) return std::nullopt;
    return std::move(result.bytes);
}

}  // namespace lianshuo

#include "support/test_pages.h"

#include <zlib.h>

#include <algorithm>

namespace lianshuo::test {
namespace {

// Deflates what `feed` hands out, piece by piece, into one gzip member.
template <typename Feed>
std::string gzipStream(Feed feed) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 9,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    std::string out;
    char buffer[65536];
    int flush = Z_NO_FLUSH;
    do {
        std::string_view piece;
        const bool last = !feed(piece);
        flush = last ? Z_FINISH : Z_NO_FLUSH;
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
        stream.avail_in = static_cast<uInt>(piece.size());
        do {
            stream.next_out = reinterpret_cast<Bytef*>(buffer);
            stream.avail_out = sizeof buffer;
            deflate(&stream, flush);
            out.append(buffer, sizeof buffer - stream.avail_out);
        } while (stream.avail_out == 0);
    } while (flush != Z_FINISH);
    deflateEnd(&stream);
    return out;
}

}  // namespace

Handler reply(int status, std::string body, std::vector<std::string> headers) {
    return [=](Exchange& exchange) { exchange.answer(status, body, headers); };
}

Handler delayedReply(std::chrono::milliseconds delay, int status, std::string body,
                     std::vector<std::string> headers) {
    return [=](Exchange& exchange) {
        if (exchange.pause(delay)) exchange.answer(status, body, headers);
    };
}

Handler neverAnswer() {
    return [](Exchange& exchange) { exchange.pause(std::chrono::seconds(30)); };
}

Handler trickle(std::string body, int pieces, std::chrono::milliseconds gap) {
    return [=](Exchange& exchange) {
        if (!exchange.sendHead(200, body.size())) return;
        const auto count = static_cast<std::size_t>(std::max(pieces, 1));
        const std::size_t size = std::max<std::size_t>((body.size() + count - 1) / count, 1);
        for (std::size_t at = 0; at < body.size(); at += size) {
            if (at > 0 && !exchange.pause(gap)) return;
            if (!exchange.send(std::string_view(body).substr(at, size))) return;
        }
    };
}

Handler resetMidBody(std::string body) {
    return [=](Exchange& exchange) {
        exchange.sendHead(200, body.size());
        exchange.send(std::string_view(body).substr(0, body.size() / 2));
        exchange.resetConnection();
    };
}

Handler cutShort(std::string body) {
    return [=](Exchange& exchange) {
        if (exchange.sendHead(200, body.size()))
            exchange.send(std::string_view(body).substr(0, body.size() / 2));
        exchange.closeAfterwards();
    };
}

Handler resetAtOnce() {
    return [](Exchange& exchange) { exchange.resetConnection(); };
}

Handler redirectTo(std::string location, int status) {
    return reply(status, "moved\n", {"Location: " + location});
}

Handler oversized(std::uint64_t size, bool announce) {
    return [=](Exchange& exchange) {
        if (!exchange.sendHead(200, announce ? std::optional<std::uint64_t>(size) : std::nullopt))
            return;
        const std::string block(65536, 'x');
        for (std::uint64_t sent = 0; sent < size; sent += block.size()) {
            const auto piece =
                static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), size - sent));
            if (!exchange.send(std::string_view(block).substr(0, piece))) return;
        }
    };
}

std::string gzipOf(std::string_view plain) {
    bool given = false;
    return gzipStream([&](std::string_view& piece) {
        piece = given ? std::string_view() : plain;
        given = true;
        return !piece.empty();
    });
}

std::string gzipOfZeros(std::uint64_t size) {
    const std::string zeros(1 << 20, '\0');
    std::uint64_t left = size;
    return gzipStream([&](std::string_view& piece) {
        piece = std::string_view(zeros).substr(
            0, static_cast<std::size_t>(std::min<std::uint64_t>(left, zeros.size())));
        left -= piece.size();
        return !piece.empty();
    });
}

}  // namespace lianshuo::test

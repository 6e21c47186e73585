#pragma once
// QR codes read back by zbarimg (zbar-tools, installed with the build's
// dependencies): a code the program draws counts only once a reader gets the
// text out of it. A missing zbarimg fails the test, it never skips it.

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace lianshuo::test {

/// What zbarimg made of an image: its exit status (0: a code read, 127: no
/// zbarimg) and the text of the code.
struct DecodedQr {
    int status = -1;
    std::string text;
};

/// Reads the QR codes of the image file at `path` with zbarimg; `text` is its
/// raw output without the last line feed.
inline DecodedQr decodeQrImage(const std::filesystem::path& path) {
    std::string quoted = "'";
    for (const char c : path.string())
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    quoted += "'";
    const std::string command =
        "zbarimg --quiet --raw -Sdisable -Sqrcode.enable " + quoted + " 2>/dev/null";
    DecodedQr decoded;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return decoded;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) decoded.text.append(buffer, got);
    const int closed = pclose(pipe);
    decoded.status = WIFEXITED(closed) ? WEXITSTATUS(closed) : -1;
    if (!decoded.text.empty() && decoded.text.back() == '\n') decoded.text.pop_back();
    return decoded;
}

/// Writes a grayscale image (one byte a pixel, rows top down) as a binary PGM file.
inline void writePgm(const std::filesystem::path& path, int width, int height,
                     const std::vector<unsigned char>& pixels) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "P5\n" << width << ' ' << height << "\n255\n";
    out.write(reinterpret_cast<const char*>(pixels.data()),
              static_cast<std::streamsize>(pixels.size()));
}

}  // namespace lianshuo::test

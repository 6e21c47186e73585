#include "base/qrcode.h"

#include <qrencode.h>

#include <cerrno>
#include <memory>

#include "base/platform.h"
#include "base/pngwriter.h"
#include "base/replacementfile.h"

namespace lianshuo {

bool QrMatrix::darkAt(int x, int y) const {
    x -= kQrQuietZone;
    y -= kQrQuietZone;
    if (x < 0 || y < 0 || x >= size_ || y >= size_) return false;
    return dark_[static_cast<std::size_t>(y) * static_cast<std::size_t>(size_) +
                 static_cast<std::size_t>(x)] != 0;
}

Result<QrMatrix> encodeQrCode(std::string_view text) {
    if (text.empty()) return Failure{0, "没有文字，无法生成二维码"};
    // libqrencode takes a C string; a zero byte would cut the text short unseen.
    if (text.find('\0') != std::string_view::npos)
        return Failure{0, "文字含有零字节，无法生成二维码"};
    const std::string copy(text);
    errno = 0;
    // Mode 8 hint: the bytes go in as they are (UTF-8), never re-read as Kanji.
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString(copy.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1), &QRcode_free);
    if (!code) {
        const int error = errno;
        if (error == ERANGE)
            return Failure{error,
                           "文字太长（" + std::to_string(text.size()) + " 字节），放不进二维码"};
        return platform::systemFailure(error == 0 ? EINVAL : error);
    }
    const int size = code->width;
    std::vector<std::uint8_t> dark(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
    // Bit 0 of each byte is the module's colour; the other bits say what the module is for.
    for (std::size_t i = 0; i < dark.size(); ++i) dark[i] = code->data[i] & 1;
    return QrMatrix(size, std::move(dark));
}

std::string qrCodeText(const QrMatrix& code) {
    // Two module rows per line: the upper half block stands for a light upper
    // module over a dark lower one. A last row without a partner reads dark
    // beneath it, the background of the terminal.
    static constexpr const char* kCells[4] = {" ", "\xE2\x96\x84", "\xE2\x96\x80",
                                              "\xE2\x96\x88"};  // " ", "▄", "▀", "█"
    const int side = code.sizeWithQuietZone();
    std::string text;
    for (int y = 0; y < side; y += 2) {
        for (int x = 0; x < side; ++x) {
            const bool upperLight = !code.darkAt(x, y);
            const bool lowerLight = y + 1 < side && !code.darkAt(x, y + 1);
            text += kCells[(upperLight ? 2 : 0) + (lowerLight ? 1 : 0)];
        }
        text += '\n';
    }
    return text;
}

Result<std::string> qrCodePng(const QrMatrix& code, int scale) {
    const int side = code.sizeWithQuietZone() * scale;
    return blackAndWhitePng(
        side, side, [&code, scale](int x, int y) { return !code.darkAt(x / scale, y / scale); });
}

Status writeQrCodePng(const QrMatrix& code, int scale, const std::filesystem::path& path) {
    const Result<std::string> png = qrCodePng(code, scale);
    if (!png) return png.status();
    ReplacementFile file(path);
    if (const Status written = file.write(*png); !written) return written;
    return file.commit();
}

}  // namespace lianshuo

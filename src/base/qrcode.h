#pragma once
// QR codes of short addresses, for the window and the command line alike:
// the module matrix (libqrencode, error correction level M), its text form
// for a terminal and its PNG form. Nothing here needs a display.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace lianshuo {

/// The light modules around a code that a reader needs to find it.
inline constexpr int kQrQuietZone = 4;

/// A QR code's modules without the quiet zone, row by row.
class QrMatrix {
public:
    QrMatrix(int size, std::vector<std::uint8_t> dark) : size_(size), dark_(std::move(dark)) {}
    /// Modules per side, without the quiet zone.
    int size() const { return size_; }
    /// Modules per side with the quiet zone on every edge.
    int sizeWithQuietZone() const { return size_ + 2 * kQrQuietZone; }
    /// Whether the module at column `x`, row `y` is dark; coordinates count the
    /// quiet zone, so that anything outside the code reads light.
    bool darkAt(int x, int y) const;

private:
    int size_;
    std::vector<std::uint8_t> dark_;
};

/// The QR code of the UTF-8 `text` at error correction level M; fails with a
/// reason when the text is empty, holds a zero byte or is too long for a code.
Result<QrMatrix> encodeQrCode(std::string_view text);

/// The code as lines of text, two module rows per line, quiet zone included:
/// light modules are the blocks "█▀▄", dark ones spaces, so that it reads
/// right where the text is light on a dark background. UTF-8, each line ends
/// with a line feed.
std::string qrCodeText(const QrMatrix& code);

/// The code as a 1-bit grayscale PNG file's bytes, `scale` pixels per module
/// (at least 1), quiet zone included.
Result<std::string> qrCodePng(const QrMatrix& code, int scale);

/// Writes qrCodePng(code, scale) to `path` through a replacing write: on
/// failure the reason, and nothing left behind under that name.
Status writeQrCodePng(const QrMatrix& code, int scale, const std::filesystem::path& path);

}  // namespace lianshuo

// lianshuo qr: a text's QR code on the terminal or in a PNG file.

#include <iostream>

#include "base/charset.h"
#include "base/paths.h"
#include "base/qrcode.h"
#include "cli/helptext.h"
#include "cli/session.h"

namespace lianshuo::cli {
namespace {

constexpr int kDefaultScale = 8;
// Beyond this a code of the largest version is tens of thousands of pixels across.
constexpr int kLargestScale = 64;

// Pixels per module from --size: digits only, within 1 to kLargestScale; 0 when not.
int readScale(const std::string& text) {
    if (text.empty() || text.size() > 2 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    const int scale = std::stoi(text);
    return scale <= kLargestScale ? scale : 0;
}

}  // namespace

int runQr(const Options& options, Console& console) {
    if (options.positional.size() != 1 || options.positional.front().empty())
        return fail(console, usageLine("qr"));
    int scale = kDefaultScale;
    if (options.size) {
        if (!options.png) return fail(console, "qr 的 --size 只能与 --png 一起使用");
        scale = readScale(*options.size);
        if (scale == 0)
            return fail(console, "--size 需要 1 到 " + std::to_string(kLargestScale) +
                                     " 之间的每模块像素数，而不是“" + *options.size + "”");
    }
    // The code holds the text as the terminal gave it, UTF-8.
    const Result<QrMatrix> code = encodeQrCode(toUtf8(options.positional.front()));
    if (!code) return fail(console, code.reason(), kConversionFailed);
    if (options.png) {
        const Status written = writeQrCodePng(*code, scale, nativePath(*options.png));
        if (!written)
            return fail(console, "无法写入 " + *options.png + "：" + written.reason(),
                        kConversionFailed);
        return kOk;
    }
    console.out << qrCodeText(*code);
    console.out.flush();
    return console.out ? kOk : kReaderGone;
}

}  // namespace lianshuo::cli

#pragma once
// A minimal PNG writer for black-and-white images (the QR codes): one IDAT
// chunk deflated by zlib, 1-bit grayscale, no filters. Enough for any
// reader, without a PNG library in the core.

#include <functional>
#include <string>

#include "base/result.h"

namespace lianshuo {

/// The PNG file of a `width` x `height` black-and-white image (both at least
/// 1); `white(x, y)` says which pixels are white. Fails only when zlib does.
Result<std::string> blackAndWhitePng(int width, int height,
                                     const std::function<bool(int x, int y)>& white);

}  // namespace lianshuo

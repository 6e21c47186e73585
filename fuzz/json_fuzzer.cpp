// getValue over any text and any path. Input: one flag byte (bit 0: zero-based
// indexes), one byte giving the path length, the path, then the JSON text.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "script/jsonreader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const bool zeroBased = (input[0] & 1) != 0;
    const std::size_t pathLength =
        std::min<std::size_t>(static_cast<unsigned char>(input[1]), size - 2);
    const std::string_view path = input.substr(2, pathLength);
    const std::string_view json = input.substr(2 + pathLength);

    static lianshuo::JsonReader reader;  // readers keep no state between lookups
    const std::string value = reader.getValue(json, path, zeroBased);
    // Every value is cut out of the text, so it can never be longer.
    if (value.size() > json.size()) std::abort();
    return 0;
}

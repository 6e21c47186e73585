// The encodings the services put addresses and replies through, over any text.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "services/encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const bool utf8 : {false, true}) {
        const std::string encoded = lianshuo::percentEncodeLongUrl(text, utf8);
        const std::string component = lianshuo::percentEncodeComponent(text, utf8);
        // Only ASCII letters, digits and a few marks may stay unencoded.
        for (const std::string* out : {&encoded, &component})
            for (const char c : *out)
                if (static_cast<unsigned char>(c) >= 0x80 || c == ' ' || c == '"') std::abort();
    }
    lianshuo::unescapeJsonText(text);
    const std::string escaped = lianshuo::escapeJsonString(text);
    for (std::size_t i = 0; i < escaped.size(); ++i)
        if (static_cast<unsigned char>(escaped[i]) < 0x20) std::abort();
    return 0;
}

// getValue over any text and any path, and the same text through the replies'
// one-pass reader and the .sxcu import, which must refuse deep nesting, not
// follow it. Input: one flag byte (bit 0: zero-based indexes), one byte giving
// the path length, the path, then the JSON text.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "script/jsonreader.h"
#include "services/jsonpath.h"
#include "services/sxcufile.h"

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

    const auto found = lianshuo::findJsonValues(json, {std::string(path), "$"});
    // Read as a whole, a document gives its compact text, which reads back as itself.
    if (found && (*found)[1] && (*found)[1]->kind >= lianshuo::JsonKind::Object) {
        const auto again = lianshuo::findJsonValues((*found)[1]->text, {"$"});
        if (!again || !(*again)[0] || (*again)[0]->text != (*found)[1]->text) std::abort();
    }
    // Refused or read, a shared file must never crash the import.
    (void)lianshuo::interfaceFromSxcu(json);
    return 0;
}

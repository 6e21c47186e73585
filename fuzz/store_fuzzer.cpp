// The settings store on any file: load it, then apply a script of reads,
// writes and deletes, checking after every step that the file on disk equals
// the memory copy. Input: the file bytes, a 0xFF 0xFE separator, then
// operations of one opcode byte and two 0xFF-terminated texts.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "store/controlstatestore.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string nextText(std::string_view& script) {
    const std::size_t end = script.find('\xFF');
    std::string text(script.substr(0, end));
    script.remove_prefix(end == std::string_view::npos ? script.size() : end + 1);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find("\xFF\xFE");
    const std::string_view file = input.substr(0, split);
    std::string_view script = split == std::string_view::npos ? std::string_view() : input.substr(split + 2);

    // tmpfs: the store flushes every save to disk, which a real disk makes slow.
    static const std::string path = "/dev/shm/lianshuo-store-fuzz-" + std::to_string(getpid()) + ".ini";
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(file.data(), static_cast<std::streamsize>(file.size()));
    lianshuo::ControlStateStore store;
    if (!store.bindFile(path)) std::abort();
    if (store.content() != file) std::abort();
    for (int steps = 0; !script.empty() && steps < 64; ++steps) {
        const unsigned char op = static_cast<unsigned char>(script[0]);
        script.remove_prefix(1);
        const std::string a = nextText(script);
        const std::string b = nextText(script);
        switch (op % 6) {
            case 0: store.selectSection(a); break;
            case 1: store.writeText(a, b); break;
            case 2: store.writeNumber(a, static_cast<double>(b.size()) - 3.5); break;
            case 3: store.writeBool(a, b.empty()); break;
            case 4: store.deleteEntry(a, b); break;
            default:
                store.readText(a, b);
                store.listSections(a, b);
                break;
        }
        if (readFile(path) != store.content()) std::abort();
    }
    return 0;
}

// The settings store on any file: load it, then apply a script of reads,
// writes and deletes, checking after every step that the file on disk equals
// the memory copy, and after every write that the value written reads back
// and that no other key changed. Input: the file bytes, a 0xFF 0xFE
// separator, then operations of one opcode byte and two 0xFF-terminated texts.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "store/controlstatestore.h"
#include "store/inicontent.h"

namespace {

using Pair = std::pair<std::string, std::string>;
using Values = std::map<Pair, std::optional<std::string>>;

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

// Every (section, key) the content may hold, with the raw value each reads as.
Values valuesOf(const std::string& content, const Pair& written) {
    std::vector<std::string> sections = lianshuo::ini::listSections(content, {}, {});
    std::vector<std::string> keys;
    for (std::size_t start = 0; start < content.size() && keys.size() < 24;) {
        const std::size_t end = std::min(content.find('\n', start), content.size());
        const std::string_view line = std::string_view(content).substr(start, end - start);
        if (const std::size_t eq = line.find('='); eq != std::string_view::npos)
            keys.emplace_back(line.substr(0, eq));
        start = end + 1;
    }
    sections.resize(std::min<std::size_t>(sections.size(), 24));
    sections.push_back(written.first);
    keys.push_back(written.second);
    Values values;
    for (const std::string& section : sections)
        for (const std::string& key : keys)
            values[{section, key}] = lianshuo::ini::readRaw(content, section, key);
    return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find("\xFF\xFE");
    const std::string_view file = input.substr(0, split);
    std::string_view script =
        split == std::string_view::npos ? std::string_view() : input.substr(split + 2);

    // tmpfs: the store flushes every save to disk, which a real disk makes slow.
    static const std::string path =
        "/dev/shm/lianshuo-store-fuzz-" + std::to_string(getpid()) + ".ini";
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(file.data(), static_cast<std::streamsize>(file.size()));
    lianshuo::ControlStateStore store;
    if (!store.bindFile(path)) std::abort();
    if (store.content() != file) std::abort();
    for (int steps = 0; !script.empty() && steps < 64; ++steps) {
        const unsigned char op = static_cast<unsigned char>(script[0]);
        script.remove_prefix(1);
        const std::string a = nextText(script);
        const std::string b = nextText(script);
        const Pair written{store.section(), a};
        const Values before = valuesOf(store.content(), written);
        std::optional<std::string> stored;
        switch (op % 6) {
            case 0:
                store.selectSection(a);
                break;
            case 1:
                if (store.writeText(a, b)) stored = lianshuo::ControlStateStore::encodeText(b);
                break;
            case 2:
                if (store.writeNumber(a, static_cast<double>(b.size()) - 3.5))
                    stored = lianshuo::ControlStateStore::formatNumber(
                        static_cast<double>(b.size()) - 3.5);
                break;
            case 3:
                if (store.writeBool(a, b.empty())) stored = b.empty() ? "真" : "假";
                break;
            case 4:
                // A refused name changes nothing: the file check below holds either way.
                (void)store.deleteEntry(a, b);
                break;
            default:
                store.readText(a, b);
                store.listSections(a, b);
                break;
        }
        if (readFile(path) != store.content()) std::abort();
        if (op % 6 < 1 || op % 6 > 3) continue;
        const Values after = valuesOf(store.content(), written);
        for (const auto& [where, value] : before) {
            if (where == written) continue;
            const auto now = after.find(where);
            if (now != after.end() && now->second != value) std::abort();
        }
        if (stored &&
            lianshuo::ini::readRaw(store.content(), written.first, written.second) != stored)
            std::abort();
    }
    return 0;
}

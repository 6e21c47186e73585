// The file converter's rewrite of one 10 MB file holding 10,000 addresses,
// once with 10,000 distinct ones and once with 100 (the same bytes otherwise),
// every address converted at no cost: prints "seconds-10000 seconds-100", each
// the median of ROUNDS runs (9 unless given) taken in turns, so that a slow
// moment of the disk falls on both alike. Equal costs mean the rewrite costs
// the same per address whatever the number of distinct ones.
// Usage: rewritescale [ROUNDS]

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "jobs/fileconvertersettings.h"
#include "stubconversions.h"

using namespace lianshuo;

namespace {

constexpr int kAddresses = 10000;
constexpr std::size_t kLine = 1000;  // bytes per line: 10,000 lines make 10 MB

void writePage(const std::filesystem::path& folder, int distinct) {
    std::filesystem::create_directories(folder);
    std::ofstream out(folder / "page.html", std::ios::binary);
    char id[8];
    for (int n = 0; n < kAddresses; ++n) {
        std::snprintf(id, sizeof id, "%05d", n % distinct);
        std::string line = "<p><a href=\"https://shop.example/item?id=" + std::string(id) +
                           "&amp;ref=list\">link</a> ";
        line.resize(kLine - 5, 'x');
        out << line << "</p>\n";
    }
}

struct Case {
    explicit Case(const std::filesystem::path& folder) {
        view.input = defaultFileConverterSettings();
        view.input.folder = folder.string();
        view.input.pattern = "*.html";
        view.input.whiteListOn = false;
        view.input.blackListOn = false;
    }
    double run() { return timedRun(converter, view, stub); }

    QuietView view;
    StubSource source;
    ShortUrlConverter converter{source, defaultBuiltinHosts()};
    StubMemory stub;
    std::vector<double> times;
};

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const std::filesystem::path work = std::filesystem::temp_directory_path() /
                                       ("lianshuo-rewritescale-" + std::to_string(getpid()));
    writePage(work / "many", kAddresses);
    writePage(work / "few", 100);
    Case many(work / "many"), few(work / "few");
    // Which goes first changes each round, so that neither always runs on a warmer cache.
    for (int round = 0; round < rounds; ++round) {
        Case& first = round % 2 == 0 ? few : many;
        Case& second = round % 2 == 0 ? many : few;
        first.times.push_back(first.run());
        second.times.push_back(second.run());
    }
    std::filesystem::remove_all(work);
    std::printf("%.4f %.4f\n", median(many.times), median(few.times));
    return 0;
}

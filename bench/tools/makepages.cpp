// Writes the file converter's benchmark folder: FILES HTML files of about
// SIZE bytes each, full of addresses that no white list lets through.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: makepages FOLDER FILES BYTES-PER-FILE\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int files = std::atoi(argv[2]);
    const long size = std::atol(argv[3]);
    for (int f = 0; f < files; ++f) {
        std::string page = "<html><head><meta charset=\"utf-8\"></head><body>\n";
        for (long n = 0; static_cast<long>(page.size()) < size; ++n) {
            page += "<p>\xE5\x95\x86\xE5\x93\x81 " + std::to_string(n) + " <a href=\"https://shop" +
                    std::to_string(n % 97) + ".example/item?id=" + std::to_string(n) +
                    "&amp;ref=list\">link</a> some ordinary text around it</p>\n";
        }
        page += "</body></html>\n";
        std::ofstream(folder + "/page" + std::to_string(f) + ".html", std::ios::binary) << page;
    }
    return 0;
}

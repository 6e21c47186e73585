// Writes the file converter's benchmark folder: FILES HTML files of about
// SIZE bytes each. "many" (the default) puts an address in every line (the
// same ones in every file); "few" puts one address in each file, one of 100
// distinct ones. "gbk" writes the pages' Chinese text in GBK instead of UTF-8.
// Usage: makepages FOLDER FILES BYTES-PER-FILE [many|few] [utf8|gbk]

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: makepages FOLDER FILES BYTES-PER-FILE [many|few] [utf8|gbk]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int files = std::atoi(argv[2]);
    const long size = std::atol(argv[3]);
    const bool few = argc > 4 && std::strcmp(argv[4], "few") == 0;
    const bool gbk = argc > 5 && std::strcmp(argv[5], "gbk") == 0;
    const std::string goods = gbk ? "\xC9\xCC\xC6\xB7" : "\xE5\x95\x86\xE5\x93\x81";  // 商品
    const std::string head = std::string("<html><head><meta charset=\"") + (gbk ? "gbk" : "utf-8") +
                             "\"></head><body>\n";
    for (int f = 0; f < files; ++f) {
        std::ofstream out(folder + "/page" + std::to_string(f) + ".html", std::ios::binary);
        std::string block = head;
        long written = 0;
        for (long n = 0; written + static_cast<long>(block.size()) < size; ++n) {
            if (few && n > 0) {
                block += "<p>" + goods + " " + std::to_string(n) +
                         " some ordinary text around it, and more of it, without a link</p>\n";
            } else {
                const long shop = few ? f % 100 : n % 97;
                block += "<p>" + goods + " " + std::to_string(n) + " <a href=\"https://shop" +
                         std::to_string(shop) +
                         ".example/item?id=" + std::to_string(few ? shop : n) +
                         "&amp;ref=list\">link</a> some ordinary text around it</p>\n";
            }
            // Large files go out in pieces, so a 1 GB page needs no 1 GB of memory here.
            if (block.size() > (1 << 20)) {
                out << block;
                written += static_cast<long>(block.size());
                block.clear();
            }
        }
        out << block << "</body></html>\n";
    }
    return 0;
}

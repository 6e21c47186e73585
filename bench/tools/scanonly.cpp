// The file converter's address finder on its own over a folder: each file's
// encoding checked, then its addresses found, as a run does before it
// converts and writes anything (the next files scanned ahead meanwhile). Prints the number of
// addresses found. Usage: scanonly FOLDER [PATTERN]

#include <cstdio>
#include <filesystem>
#include <vector>

#include "jobs/addressscanner.h"
#include "jobs/filelisting.h"
#include "jobs/scanahead.h"

using namespace lianshuo;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: scanonly FOLDER [PATTERN]\n");
        return 2;
    }
    const auto listed = listFilesByPattern(argv[1], argc > 2 ? argv[2] : "*.html");
    if (!listed) {
        std::fprintf(stderr, "%s\n", listed.reason().c_str());
        return 1;
    }
    const std::vector<FolderEntry>& files = *listed;
    Status read;
    // As a run finds them: files scanned ahead on a thread of their own, large ones in place.
    std::vector<std::filesystem::path> paths;
    for (const FolderEntry& file : files) paths.push_back(file.path);
    ScanAhead ahead(paths);
    long found = 0;
    for (const FolderEntry& file : files) {
        ScannedFile scanned = ahead.next();
        if (scanned.scanned) {
            found += static_cast<long>(scanned.addresses.size());
            read = scanned.read;
        } else {
            bool utf8 = false;
            read = scanFileOfEitherEncoding(file.path, utf8,
                                            [&found](std::size_t, std::string_view bytes) {
                                                ++found;
                                                return bytes;
                                            });
        }
        if (!read) std::fprintf(stderr, "%s\n", read.reason().c_str());
    }
    std::printf("%ld\n", found);
    return 0;
}

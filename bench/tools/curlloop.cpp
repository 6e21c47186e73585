// The lower bound for the batch: one reused libcurl handle fetching each
// address of a file in turn, doing nothing else.

#include <curl/curl.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

static size_t discard(char*, size_t size, size_t count, void*) {
    return size * count;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: curlloop SERVICE-PREFIX URL-FILE\n";
        return 2;
    }
    curl_global_init(CURL_GLOBAL_DEFAULT);
    CURL* handle = curl_easy_init();
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, discard);
    if (const char* ca = std::getenv("SSL_CERT_FILE")) curl_easy_setopt(handle, CURLOPT_CAINFO, ca);
    std::ifstream urls(argv[2]);
    char* escaped = nullptr;
    int failures = 0;
    for (std::string line; std::getline(urls, line);) {
        escaped = curl_easy_escape(handle, line.c_str(), static_cast<int>(line.size()));
        const std::string url = std::string(argv[1]) + escaped;
        curl_free(escaped);
        curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
        failures += curl_easy_perform(handle) != CURLE_OK;
    }
    curl_easy_cleanup(handle);
    curl_global_cleanup();
    return failures == 0 ? 0 : 1;
}

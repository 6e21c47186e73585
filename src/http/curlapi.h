#pragma once
// libcurl's entry points as a table of function pointers, filled when the first request needs
// them. The program links no libcurl symbol of its own, so a library that links libcurl for
// real gets the real one, and start-up does not pay for loading it. Only the http library
// includes this header.

#include <curl/curl.h>

namespace lianshuo::curl {

struct Api {
    CURLcode (*globalInit)(long flags);
    curl_version_info_data* (*versionInfo)(CURLversion stamp);
    const char* (*easyStrerror)(CURLcode code);

    CURL* (*easyInit)();
    void (*easyCleanup)(CURL* handle);
    void (*easyReset)(CURL* handle);
    CURLcode (*easySetopt)(CURL* handle, CURLoption option, ...);
    CURLcode (*easyGetinfo)(CURL* handle, CURLINFO info, ...);

    CURLM* (*multiInit)();
    CURLMcode (*multiCleanup)(CURLM* multi);
    CURLMcode (*multiSetopt)(CURLM* multi, CURLMoption option, ...);
    CURLMcode (*multiAddHandle)(CURLM* multi, CURL* handle);
    CURLMcode (*multiRemoveHandle)(CURLM* multi, CURL* handle);
    CURLMcode (*multiPerform)(CURLM* multi, int* running);
    CURLMcode (*multiPoll)(CURLM* multi, curl_waitfd extra[], unsigned int count, int timeoutMs,
                           int* ready);
    CURLMsg* (*multiInfoRead)(CURLM* multi, int* left);

    CURLSH* (*shareInit)();
    CURLSHcode (*shareCleanup)(CURLSH* share);
    CURLSHcode (*shareSetopt)(CURLSH* share, CURLSHoption option, ...);

    curl_slist* (*slistAppend)(curl_slist* list, const char* text);
    void (*slistFreeAll)(curl_slist* list);
};

/// The loaded and initialised libcurl, from any thread; nullptr when it (or any entry point
/// above) could not be loaded, in which case every request fails.
const Api* api();

}  // namespace lianshuo::curl

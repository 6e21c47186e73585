// libcurl, loaded on the first request instead of at start-up. Through its TLS, Kerberos, LDAP
// and SSH libraries it brings some twenty-five shared libraries whose loading and
// initialisation made the window open about 1.6x slower than a bare Qt window; most sessions
// of the program convert nothing before the window is shown.

#include <cstdio>
#include <initializer_list>
#include <string>

#include "base/platform.h"
#include "http/curlapi.h"

namespace lianshuo::curl {
namespace {

void* openLibrary() {
    std::string error;
    for (const char* name : {"libcurl.so.4", "libcurl-gnutls.so.4", "libcurl.so"}) {
        Result<void*> handle = platform::loadLibrary(name);
        if (handle) return *handle;
        error = handle.reason();
    }
    std::fprintf(stderr, "lianshuo: cannot load libcurl (%s); no request can be made\n",
                 error.c_str());
    return nullptr;
}

// Fills `entry` from the symbol `name`; false when the library lacks it.
template <typename Function>
bool bind(void* library, Function& entry, const char* name) {
    entry = reinterpret_cast<Function>(platform::findFunction(library, name));
    return entry != nullptr;
}

// The whole table or nothing: a half-filled table would fail somewhere in the middle of a
// request instead of before it.
bool load(Api& a) {
    void* library = openLibrary();
    if (library == nullptr) return false;
    const bool complete = bind(library, a.globalInit, "curl_global_init") &&
                          bind(library, a.versionInfo, "curl_version_info") &&
                          bind(library, a.easyStrerror, "curl_easy_strerror") &&
                          bind(library, a.easyInit, "curl_easy_init") &&
                          bind(library, a.easyCleanup, "curl_easy_cleanup") &&
                          bind(library, a.easyReset, "curl_easy_reset") &&
                          bind(library, a.easySetopt, "curl_easy_setopt") &&
                          bind(library, a.easyGetinfo, "curl_easy_getinfo") &&
                          bind(library, a.multiInit, "curl_multi_init") &&
                          bind(library, a.multiCleanup, "curl_multi_cleanup") &&
                          bind(library, a.multiSetopt, "curl_multi_setopt") &&
                          bind(library, a.multiAddHandle, "curl_multi_add_handle") &&
                          bind(library, a.multiRemoveHandle, "curl_multi_remove_handle") &&
                          bind(library, a.multiPerform, "curl_multi_perform") &&
                          bind(library, a.multiPoll, "curl_multi_poll") &&
                          bind(library, a.multiInfoRead, "curl_multi_info_read") &&
                          bind(library, a.shareInit, "curl_share_init") &&
                          bind(library, a.shareCleanup, "curl_share_cleanup") &&
                          bind(library, a.shareSetopt, "curl_share_setopt") &&
                          bind(library, a.slistAppend, "curl_slist_append") &&
                          bind(library, a.slistFreeAll, "curl_slist_free_all");
    if (!complete) {
        std::fprintf(stderr, "lianshuo: libcurl lacks an entry point; no request can be made\n");
        return false;
    }
    // The library stays loaded for the life of the process: its handles outlive any caller.
    return a.globalInit(CURL_GLOBAL_ALL) == CURLE_OK;
}

}  // namespace

const Api* api() {
    static const Api* const loaded = [] {
        static Api table{};
        return load(table) ? &table : nullptr;
    }();  // thread-safe: any slot thread may come first
    return loaded;
}

}  // namespace lianshuo::curl

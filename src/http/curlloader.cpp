// libcurl, loaded on the first request instead of at start-up. Through its
// TLS, Kerberos, LDAP and SSH libraries it brings some twenty-five shared
// libraries whose loading and initialisation made the window open about 1.6x
// slower than a bare Qt window; most sessions of the program convert nothing
// before the window is shown. These definitions stand in for libcurl's own
// entry points and forward to the library once it is loaded.

#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>

#include <cstdarg>
#include <cstdio>
#include <initializer_list>
#include <string>

#include "app/base/platform.h"

// The signatures are libcurl's own, whose last named parameter before "..." is an
// enum; C++ compilers that warn about va_start on it are told this is intended
// (libcurl's C side reads the arguments the same way).
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wvarargs"
#endif

namespace {

using AnyFunction = void (*)();

struct Library {
    void* handle = nullptr;

    Library() {
        std::string error;
        for (const char* name : {"libcurl.so.4", "libcurl-gnutls.so.4", "libcurl.so"}) {
            handle = lianshuo::platform::loadLibrary(name, error);
            if (handle != nullptr) return;
        }
        std::fprintf(stderr, "lianshuo: cannot load libcurl (%s); no request can be made\n",
                     error.c_str());
    }

    template <typename Function>
    Function find(const char* name) const {
        return reinterpret_cast<Function>(lianshuo::platform::findFunction(handle, name));
    }
};

const Library& library() {
    static const Library loaded;  // thread-safe: the worker threads may come first
    return loaded;
}

}  // namespace

extern "C" {

CURLcode curl_global_init(long flags) {
    using F = CURLcode (*)(long);
    static const auto real = library().find<F>("curl_global_init");
    return real == nullptr ? CURLE_FAILED_INIT : real(flags);
}

CURL* curl_easy_init() {
    using F = CURL* (*)();
    static const auto real = library().find<F>("curl_easy_init");
    if (real == nullptr) return nullptr;
    return real();
}

void curl_easy_cleanup(CURL* handle) {
    using F = void (*)(CURL*);
    static const auto real = library().find<F>("curl_easy_cleanup");
    if (real != nullptr) real(handle);
}

void curl_easy_reset(CURL* handle) {
    using F = void (*)(CURL*);
    static const auto real = library().find<F>("curl_easy_reset");
    if (real != nullptr) real(handle);
}

CURLcode curl_easy_perform(CURL* handle) {
    using F = CURLcode (*)(CURL*);
    static const auto real = library().find<F>("curl_easy_perform");
    return real == nullptr ? CURLE_FAILED_INIT : real(handle);
}

// libcurl reads the value by the option's number range: a long, an object
// pointer, a function pointer, a curl_off_t or a blob pointer.
CURLcode curl_easy_setopt(CURL* handle, CURLoption option, ...) {
    using F = CURLcode (*)(CURL*, CURLoption, ...);
    static const auto real = library().find<F>("curl_easy_setopt");
    if (real == nullptr) return CURLE_FAILED_INIT;
    va_list args;
    va_start(args, option);
    CURLcode result;
    if (option < CURLOPTTYPE_OBJECTPOINT) {
        result = real(handle, option, va_arg(args, long));
    } else if (option < CURLOPTTYPE_FUNCTIONPOINT) {
        result = real(handle, option, va_arg(args, void*));
    } else if (option < CURLOPTTYPE_OFF_T) {
        result = real(handle, option, va_arg(args, AnyFunction));
    } else if (option < CURLOPTTYPE_BLOB) {
        result = real(handle, option, va_arg(args, curl_off_t));
    } else {
        result = real(handle, option, va_arg(args, void*));
    }
    va_end(args);
    return result;
}

CURLcode curl_easy_getinfo(CURL* handle, CURLINFO info, ...) {
    using F = CURLcode (*)(CURL*, CURLINFO, ...);
    static const auto real = library().find<F>("curl_easy_getinfo");
    if (real == nullptr) return CURLE_FAILED_INIT;
    va_list args;
    va_start(args, info);
    void* out = va_arg(args, void*);  // every piece of information goes through a pointer
    va_end(args);
    return real(handle, info, out);
}

CURLSH* curl_share_init() {
    using F = CURLSH* (*)();
    static const auto real = library().find<F>("curl_share_init");
    if (real == nullptr) return nullptr;
    return real();
}

CURLSHcode curl_share_setopt(CURLSH* share, CURLSHoption option, ...) {
    using F = CURLSHcode (*)(CURLSH*, CURLSHoption, ...);
    static const auto real = library().find<F>("curl_share_setopt");
    if (real == nullptr) return CURLSHE_NOT_BUILT_IN;
    va_list args;
    va_start(args, option);
    CURLSHcode result;
    switch (option) {
        case CURLSHOPT_SHARE:
        case CURLSHOPT_UNSHARE:
            result = real(share, option, va_arg(args, long));
            break;
        case CURLSHOPT_LOCKFUNC:
        case CURLSHOPT_UNLOCKFUNC:
            result = real(share, option, va_arg(args, AnyFunction));
            break;
        default:
            result = real(share, option, va_arg(args, void*));
            break;
    }
    va_end(args);
    return result;
}

CURLM* curl_multi_init() {
    using F = CURLM* (*)();
    static const auto real = library().find<F>("curl_multi_init");
    if (real == nullptr) return nullptr;
    return real();
}

CURLMcode curl_multi_cleanup(CURLM* multi) {
    using F = CURLMcode (*)(CURLM*);
    static const auto real = library().find<F>("curl_multi_cleanup");
    return real == nullptr ? CURLM_INTERNAL_ERROR : real(multi);
}

CURLMcode curl_multi_add_handle(CURLM* multi, CURL* handle) {
    using F = CURLMcode (*)(CURLM*, CURL*);
    static const auto real = library().find<F>("curl_multi_add_handle");
    return real == nullptr ? CURLM_INTERNAL_ERROR : real(multi, handle);
}

CURLMcode curl_multi_remove_handle(CURLM* multi, CURL* handle) {
    using F = CURLMcode (*)(CURLM*, CURL*);
    static const auto real = library().find<F>("curl_multi_remove_handle");
    return real == nullptr ? CURLM_INTERNAL_ERROR : real(multi, handle);
}

CURLMcode curl_multi_perform(CURLM* multi, int* running) {
    using F = CURLMcode (*)(CURLM*, int*);
    static const auto real = library().find<F>("curl_multi_perform");
    return real == nullptr ? CURLM_INTERNAL_ERROR : real(multi, running);
}

CURLMcode curl_multi_poll(CURLM* multi, curl_waitfd extra[], unsigned int count, int timeoutMs,
                          int* ready) {
    using F = CURLMcode (*)(CURLM*, curl_waitfd[], unsigned int, int, int*);
    static const auto real = library().find<F>("curl_multi_poll");
    return real == nullptr ? CURLM_INTERNAL_ERROR : real(multi, extra, count, timeoutMs, ready);
}

CURLMsg* curl_multi_info_read(CURLM* multi, int* left) {
    using F = CURLMsg* (*)(CURLM*, int*);
    static const auto real = library().find<F>("curl_multi_info_read");
    if (real == nullptr) return nullptr;
    return real(multi, left);
}

curl_slist* curl_slist_append(curl_slist* list, const char* text) {
    using F = curl_slist* (*)(curl_slist*, const char*);
    static const auto real = library().find<F>("curl_slist_append");
    if (real == nullptr) return nullptr;
    return real(list, text);
}

void curl_slist_free_all(curl_slist* list) {
    using F = void (*)(curl_slist*);
    static const auto real = library().find<F>("curl_slist_free_all");
    if (real != nullptr) real(list);
}

}  // extern "C"

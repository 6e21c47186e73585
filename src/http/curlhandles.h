#pragma once
// Owners of libcurl's handles and lists, and option setters that pass each value with the
// type libcurl reads it as. Only the http library includes this header.

#include <concepts>
#include <cstddef>
#include <memory>
#include <type_traits>

#include "http/curlapi.h"

namespace lianshuo::curl {

/// What libcurl's variadic setters read: a long, a curl_off_t or a pointer (data or function).
/// An int would be read as a long, so it is refused here.
template <typename T>
concept OptionValue = std::same_as<T, long> || std::same_as<T, curl_off_t> ||
    std::is_pointer_v<T> || std::same_as<T, std::nullptr_t>;

struct EasyKind {
    using Option = CURLoption;
    static constexpr auto init = &Api::easyInit;
    static constexpr auto cleanup = &Api::easyCleanup;
    static constexpr auto setopt = &Api::easySetopt;
};

struct MultiKind {
    using Option = CURLMoption;
    static constexpr auto init = &Api::multiInit;
    static constexpr auto cleanup = &Api::multiCleanup;
    static constexpr auto setopt = &Api::multiSetopt;
};

struct ShareKind {
    using Option = CURLSHoption;
    static constexpr auto init = &Api::shareInit;
    static constexpr auto cleanup = &Api::shareCleanup;
    static constexpr auto setopt = &Api::shareSetopt;
};

/// Owns one libcurl handle of a kind (easy, multi or share) and frees it with its own cleanup.
template <typename Kind>
class Handle {
public:
    /// A new handle; empty when libcurl is unavailable.
    static Handle create() {
        Handle handle;
        if (const Api* a = api()) handle.handle_.reset((a->*Kind::init)());
        return handle;
    }
    Handle() = default;

    void* get() const { return handle_.get(); }
    explicit operator bool() const { return handle_ != nullptr; }
    template <OptionValue T>
    auto set(typename Kind::Option option, T value) const {
        return (api()->*Kind::setopt)(get(), option, value);
    }
    template <typename T>
    requires std::same_as<Kind, EasyKind> CURLcode info(CURLINFO what, T* out)
    const { return api()->easyGetinfo(get(), what, out); }
    /// Forgets every option; connections, caches, cookies and the share stay.
    void reset() const requires std::same_as<Kind, EasyKind> { api()->easyReset(get()); }

private:
    struct Cleanup {
        void operator()(void* handle) const { (api()->*Kind::cleanup)(handle); }
    };
    std::unique_ptr<void, Cleanup> handle_;
};

/// An easy handle: one transfer at a time.
using Easy = Handle<EasyKind>;
/// A multi handle: holds the connections and the parsed CA store its transfers leave behind.
using Multi = Handle<MultiKind>;
/// A share object: data that many easy handles use, behind the lock functions it is given.
using Share = Handle<ShareKind>;

/// A curl_slist: header lines to send, or a list libcurl handed over.
class StringList {
public:
    StringList() = default;
    /// Takes ownership of a list libcurl returned.
    explicit StringList(curl_slist* adopted) : head_(adopted) {}

    /// Appends a copy of `line`; a failed allocation leaves the list as it was.
    void add(const char* line);
    curl_slist* get() const { return head_.get(); }

private:
    struct Cleanup {
        void operator()(curl_slist* list) const { api()->slistFreeAll(list); }
    };
    std::unique_ptr<curl_slist, Cleanup> head_;
};

}  // namespace lianshuo::curl

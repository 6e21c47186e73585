#include <array>
#include <mutex>

#include "http/transfer.h"
#include "http/webrequest.h"

namespace lianshuo {
namespace transfer {
namespace {

// Never destroyed: a worker abandoned at exit may still be inside libcurl.
std::array<std::mutex, CURL_LOCK_DATA_LAST>& shareLocks() {
    static auto* locks = new std::array<std::mutex, CURL_LOCK_DATA_LAST>;
    return *locks;
}

void lockShare(CURL*, curl_lock_data data, curl_lock_access, void*) {
    shareLocks()[static_cast<std::size_t>(data)].lock();
}

void unlockShare(CURL*, curl_lock_data data, void*) {
    shareLocks()[static_cast<std::size_t>(data)].unlock();
}

// TLS sessions and name look-ups are shared by every request, so that the second request to a
// service resumes its TLS session instead of a full handshake.
CURLSH* createShare(bool withCookies) {
    ensureInitialised();
    CURLSH* share = curl_share_init();
    if (share == nullptr) return nullptr;
    curl_share_setopt(share, CURLSHOPT_LOCKFUNC, lockShare);
    curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, unlockShare);
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    if (withCookies) curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    return share;
}

// Runs `edit` on a short-lived handle that sees the shared jar.
template <typename Edit>
void editSharedJar(Edit edit) {
    CURL* handle = curl_easy_init();
    if (handle == nullptr) return;
    curl_easy_setopt(handle, CURLOPT_SHARE, sharedCookieJar());
    edit(handle);
    curl_easy_cleanup(handle);
}

}  // namespace

CURLSH* sharedCookieJar() {
    // Connections stay out of the share: libcurl does not support sharing them between threads
    // that run at the same time, and an abandoned worker may still be running.
    static CURLSH* const jar = createShare(true);
    return jar;
}

CURLSH* sharedSessions() {
    static CURLSH* const sessions = createShare(false);
    return sessions;
}

void storeInSharedJar(const curl_slist* lines) {
    if (lines == nullptr) return;
    editSharedJar([&](CURL* handle) {
        for (const curl_slist* line = lines; line != nullptr; line = line->next)
            curl_easy_setopt(handle, CURLOPT_COOKIELIST, line->data);
    });
}

}  // namespace transfer

void clearSharedCookies() {
    transfer::editSharedJar(
        [](CURL* handle) { curl_easy_setopt(handle, CURLOPT_COOKIELIST, "ALL"); });
}

}  // namespace lianshuo

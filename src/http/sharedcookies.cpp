#include "http/handlepool.h"
#include "http/transfer.h"
#include "http/webrequest.h"

namespace lianshuo {
namespace transfer {
namespace {

// Runs `edit` on a short-lived handle that sees the shared jar.
template <typename Edit>
void editSharedJar(Edit edit) {
    ensureInitialised();
    const curl::Easy handle = curl::Easy::create();
    if (!handle) return;
    handle.set(CURLOPT_SHARE, sharedCookieJar());
    edit(handle);
}

}  // namespace

void storeInSharedJar(const curl_slist* lines) {
    if (lines == nullptr) return;
    editSharedJar([&](const curl::Easy& handle) {
        for (const curl_slist* line = lines; line != nullptr; line = line->next)
            handle.set(CURLOPT_COOKIELIST, static_cast<const char*>(line->data));
    });
}

}  // namespace transfer

void clearSharedCookies() {
    transfer::editSharedJar(
        [](const curl::Easy& handle) { handle.set(CURLOPT_COOKIELIST, "ALL"); });
}

}  // namespace lianshuo

#include "http/curlhandles.h"

namespace lianshuo::curl {

void StringList::add(const char* line) {
    const Api* a = api();
    if (a == nullptr) return;
    // Appending returns the head: a new one only when the list was empty.
    if (curl_slist* head = a->slistAppend(head_.get(), line)) {
        static_cast<void>(head_.release());
        head_.reset(head);
    }
}

}  // namespace lianshuo::curl

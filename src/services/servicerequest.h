#pragma once
// One request of a service on either engine, with what a conversion needs to
// judge it: the transport error, the status, the decoded text and the headers.

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "http/webrequest.h"
#include "services/conversionoutcome.h"

namespace lianshuo {

class HttpRequestObject;

struct ServiceReply {
    TransferError error = TransferError::None;
    std::string detail;  // the transport's own words for `error`
    long status = 0;
    std::string text;         // the body as GBK text
    std::string headerBlock;  // status line and header lines, each ending in CR LF
};

struct ServiceRequest {
    std::string url;
    bool post = false;
    std::string method;  // "PUT", "PATCH": sent in place of POST (with `post` set), with the body
    std::string body;
    std::string headers;  // extra "Name: value" lines joined by CR LF
    int charsetMode = 0;  // how the reply becomes GBK: a CharsetMode (0 detects it)
    const std::atomic<bool>* cancel = nullptr;
    std::function<void()>* whileWaiting = nullptr;  // run once while the reply is awaited
    bool followRedirects = true;       // false: a redirect is the reply, its Location readable
    std::vector<std::string> secrets;  // GBK values the observer never sees (see SecretMask)

    /// The method that goes out: `method`, else POST or GET.
    std::string methodName() const { return !method.empty() ? method : post ? "POST" : "GET"; }
};

/// Sends on the request object (`fetchPage`) when `viaRequestObject`, else on
/// the worker-thread engine with the reply decoded by its charset.
ServiceReply sendServiceRequest(const ServiceRequest& request, bool viaRequestObject);

/// The same on an object the caller keeps between requests.
ServiceReply sendOnRequestObject(HttpRequestObject& object, const ServiceRequest& request);

/// Sees every service request once it has ended (the command line's --verbose), with the
/// request's secrets masked in the address and in every text of the reply.
using RequestObserver =
    std::function<void(std::string_view method, std::string_view url, const ServiceReply& reply)>;
void setRequestObserver(RequestObserver observer);

/// The value of header `name` (case-blind) in a reply's header block, or empty.
std::string headerValue(std::string_view headerBlock, std::string_view name);

/// The failure a reply stands for before anything is extracted from it: a
/// transport error, or a status outside 200-299 (with the service's message).
/// None when the reply is fit to be read.
ConversionOutcome replyFailure(const ServiceReply& reply);

/// The same with the success statuses an interface names ("200,201"; empty: 200-299).
ConversionOutcome replyFailure(const ServiceReply& reply, std::string_view successStatuses);

}  // namespace lianshuo

#include "services/servicerequest.h"

#include <algorithm>
#include <ctime>

#include "base/gbk.h"
#include "http/charsets.h"
#include "http/httprequestobject.h"
#include "services/interfacerules.h"
#include "services/secretmask.h"

namespace lianshuo {
namespace {

std::string transportMessage(TransferError error) {
    switch (error) {
        case TransferError::None:
            return {};
        case TransferError::BlankUrl:
            return "地址为空";
        case TransferError::Timeout:
            return "请求超时";
        case TransferError::TooLarge:
            return "回复超过 64 MiB";
        case TransferError::NameNotResolved:
            return "无法解析主机名";
        case TransferError::ConnectionRefused:
            return "连接被拒绝";
        case TransferError::ConnectionReset:
            return "连接被重置";
        case TransferError::TlsFailed:
            return "TLS 握手失败";
        case TransferError::Aborted:
            return "请求已中止";
        case TransferError::Truncated:
            return "回复不完整";
        case TransferError::HeaderTooLarge:
            return "回复头太大";
        // The host the request was sent on to is the whole story.
        case TransferError::RedirectElsewhere:
            return "服务把请求转到了别的主机：";
        case TransferError::RedirectToHttp:
            return "服务把请求转到了不加密的 http 地址：";
        case TransferError::Transport:
            break;
    }
    return "网络错误";
}

RequestObserver& observer() {
    static RequestObserver instance;
    return instance;
}

void observe(const ServiceRequest& r, const ServiceReply& reply) {
    if (!observer()) return;
    const SecretMask mask(r.secrets);
    if (mask.empty()) {
        observer()(r.methodName(), r.url, reply);
        return;
    }
    ServiceReply shown = reply;
    shown.detail = mask.apply(reply.detail);
    shown.text = mask.apply(reply.text);
    shown.headerBlock = mask.apply(reply.headerBlock);
    observer()(r.methodName(), mask.apply(r.url), shown);
}

}  // namespace

void setRequestObserver(RequestObserver o) {
    observer() = std::move(o);
}

ServiceReply sendOnRequestObject(HttpRequestObject& object, const ServiceRequest& r) {
    ServiceReply reply;
    FetchOptions options{.postText = r.post ? r.body : std::string(), .charsetMode = r.charsetMode};
    options.headers = r.headers;
    options.method = r.method;
    options.noRedirect = !r.followRedirects;
    options.cancel = r.cancel;
    options.whileWaiting = r.whileWaiting;
    reply.text = object.fetchPage(r.url, options);
    reply.error = object.lastError();
    reply.detail = object.lastErrorDetail();
    reply.status = object.status();
    reply.headerBlock = object.allResponseHeaders();
    observe(r, reply);
    return reply;  // moved out: a large reply is not copied
}

ServiceReply sendServiceRequest(const ServiceRequest& r, bool viaRequestObject) {
    if (viaRequestObject) {
        HttpRequestObject object;
        return sendOnRequestObject(object, r);
    }
    const WebResponse response = webRequest({.url = r.url,
                                             .method = r.post ? WebMethod::Post : WebMethod::Get,
                                             .verb = r.method,
                                             .headers = r.headers,
                                             .body = r.body,
                                             .noRedirect = !r.followRedirects,
                                             .cancel = r.cancel,
                                             .whileWaiting = r.whileWaiting});
    ServiceReply reply;
    reply.error = response.error;
    reply.detail = response.detail;
    reply.status = response.status;
    reply.headerBlock = response.headerBlock;
    reply.text = decodeResponseText(response.body, r.charsetMode);
    observe(r, reply);
    return reply;  // moved out: a large reply is not copied
}

std::string headerValue(std::string_view headerBlock, std::string_view name) {
    // Bytes, not GBK text: a header value ending in a high byte must not take the CR after it
    // for its second half.
    for (std::size_t start = 0; start < headerBlock.size();) {
        const std::size_t end = std::min(headerBlock.find("\r\n", start), headerBlock.size());
        const std::string_view line = headerBlock.substr(start, end - start);
        start = end + 2;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        if (toLowerAscii(trimSpaces(line.substr(0, colon))) == toLowerAscii(name))
            return trimSpaces(line.substr(colon + 1));
    }
    return {};
}

ConversionOutcome replyFailure(const ServiceReply& reply) {
    return replyFailure(reply, {});
}

ConversionOutcome replyFailure(const ServiceReply& reply, std::string_view successStatuses) {
    if (reply.error != TransferError::None) {
        std::string message = transportMessage(reply.error);
        const bool redirect = reply.error == TransferError::RedirectElsewhere ||
                              reply.error == TransferError::RedirectToHttp;
        if (redirect)
            message += escapedExcerpt(reply.detail);
        else if (!reply.detail.empty())
            message += "（" + escapedExcerpt(reply.detail) + "）";
        const FailureKind kind =
            reply.error == TransferError::Aborted ? FailureKind::Stopped : FailureKind::Request;
        ConversionOutcome outcome = ConversionOutcome::failed(kind, message);
        outcome.retryable = reply.error == TransferError::Timeout ||
                            reply.error == TransferError::ConnectionReset ||
                            reply.error == TransferError::Truncated;
        return outcome;
    }
    if (statusAccepted(reply.status, successStatuses)) return {};
    ConversionOutcome outcome = ConversionOutcome::failed(FailureKind::HttpStatus,
                                                          serviceMessage(reply.text), reply.status);
    outcome.retryable =
        reply.status == 429 || reply.status == 502 || reply.status == 503 || reply.status == 504;
    outcome.retryAfterSeconds =
        parseRetryAfter(headerValue(reply.headerBlock, "Retry-After"), std::time(nullptr));
    return outcome;
}

}  // namespace lianshuo

#include "services/servicerequest.h"

#include <ctime>

#include "app/base/gbk.h"
#include "http/charsets.h"
#include "http/httprequestobject.h"
#include "services/interfacerules.h"

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
    if (observer()) observer()(r.methodName(), r.url, reply);
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
                                             .cancel = r.cancel});
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
    for (const std::string& line : splitText(headerBlock, "\r\n")) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        if (toLowerAscii(trimSpaces(std::string_view(line).substr(0, colon))) == toLowerAscii(name))
            return trimSpaces(std::string_view(line).substr(colon + 1));
    }
    return {};
}

ConversionOutcome replyFailure(const ServiceReply& reply) {
    return replyFailure(reply, {});
}

ConversionOutcome replyFailure(const ServiceReply& reply, std::string_view successStatuses) {
    if (reply.error != TransferError::None) {
        std::string message = transportMessage(reply.error);
        if (!reply.detail.empty()) message += "（" + escapedExcerpt(reply.detail) + "）";
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

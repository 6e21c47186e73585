// libcurl's result codes sorted into the failures callers tell apart.

#include <cerrno>
#include <iterator>

#include "base/gbk.h"
#include "http/transfer.h"

namespace lianshuo {
namespace transfer {
namespace {

bool isTlsFailure(CURLcode code) {
    switch (code) {
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_ENGINE_INITFAILED:
        case CURLE_SSL_SHUTDOWN_FAILED:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_CLIENTCERT:
        case CURLE_USE_SSL_FAILED:
            return true;
        default:
            return false;
    }
}

// The TLS layer reports a reset in its own message without setting the socket's errno.
bool wasReset(long osErrno, std::string_view message) {
    return osErrno == ECONNRESET || osErrno == EPIPE || osErrno == ECONNABORTED ||
           containsText(message, "reset by peer", true) || containsText(message, "Broken pipe");
}

}  // namespace

TransferError errorOf(CURLcode code, long osErrno, std::string_view message) {
    switch (code) {
        case CURLE_OK:
            return TransferError::None;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return TransferError::NameNotResolved;
        case CURLE_COULDNT_CONNECT:
            // An unreachable network is no refusal; its message says which it was.
            return osErrno == 0 || osErrno == ECONNREFUSED ? TransferError::ConnectionRefused
                                                           : TransferError::Transport;
        case CURLE_OPERATION_TIMEDOUT:
            return TransferError::Timeout;
        case CURLE_ABORTED_BY_CALLBACK:
            return TransferError::Aborted;
        case CURLE_FILESIZE_EXCEEDED:
            return TransferError::TooLarge;
        case CURLE_PARTIAL_FILE:
            return TransferError::Truncated;
        case CURLE_GOT_NOTHING:
            return TransferError::ConnectionReset;
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
            return wasReset(osErrno, message) ? TransferError::ConnectionReset
                                              : TransferError::Transport;
        default:
            if (code == CURLE_SSL_CONNECT_ERROR && wasReset(osErrno, message))
                return TransferError::ConnectionReset;
            return isTlsFailure(code) ? TransferError::TlsFailed : TransferError::Transport;
    }
}

Outcome failedOutcome(TransferError error, std::string detail) {
    Outcome result;
    result.error = error;
    result.detail = std::move(detail);
    return result;
}

}  // namespace transfer

std::string_view transferErrorName(TransferError error) {
    // In the order of the enumeration.
    static constexpr std::string_view kNames[] = {"none",
                                                  "blank-url",
                                                  "timeout",
                                                  "transport",
                                                  "too-large",
                                                  "name-not-resolved",
                                                  "connection-refused",
                                                  "connection-reset",
                                                  "tls-failed",
                                                  "aborted",
                                                  "truncated",
                                                  "redirect-elsewhere",
                                                  "redirect-to-http",
                                                  "header-too-large"};
    static_assert(std::size(kNames) == static_cast<std::size_t>(TransferError::HeaderTooLarge) + 1);
    const auto index = static_cast<std::size_t>(error);
    return index < std::size(kNames) ? kNames[index] : "transport";
}

}  // namespace lianshuo

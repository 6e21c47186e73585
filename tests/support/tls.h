#pragma once
// Certificates and TLS contexts made at test time, so no key material lives in the tree.

#include <string>

struct ssl_ctx_st;

namespace lianshuo::test {

/// A self-signed certificate for 127.0.0.1 and localhost, valid for a day, as PEM texts.
struct SelfSignedCertificate {
    std::string certificatePem;
    std::string privateKeyPem;
};

/// A new key pair and certificate; empty texts when OpenSSL failed.
SelfSignedCertificate makeSelfSignedCertificate();

/// A TLS server context that presents `certificate`; nullptr on failure.
ssl_ctx_st* makeServerContext(const SelfSignedCertificate& certificate);

/// Frees a context made by makeServerContext.
void freeServerContext(ssl_ctx_st* context);

}  // namespace lianshuo::test

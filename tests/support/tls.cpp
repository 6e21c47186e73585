#include "support/tls.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cstdint>
#include <memory>

namespace lianshuo::test {
namespace {

template <typename T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* p) const { Free(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using BioPtr = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;

std::string textOf(BIO* bio) {
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

bool addExtension(X509* cert, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (extension == nullptr) return false;
    const bool added = X509_add_ext(cert, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

}  // namespace

SelfSignedCertificate makeSelfSignedCertificate() {
    KeyPtr key(EVP_EC_gen("P-256"));
    CertPtr cert(X509_new());
    if (!key || !cert) return {};
    unsigned char serial[8];
    RAND_bytes(serial, sizeof serial);
    std::uint64_t serialNumber = 0;
    for (unsigned char byte : serial) serialNumber = (serialNumber << 8) | byte;
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set_uint64(X509_get_serialNumber(cert.get()), serialNumber >> 1);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 24 * 3600);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    if (!addExtension(cert.get(), NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost") ||
        !addExtension(cert.get(), NID_basic_constraints, "critical,CA:TRUE") ||
        X509_sign(cert.get(), key.get(), EVP_sha256()) == 0)
        return {};

    BioPtr certText(BIO_new(BIO_s_mem()));
    BioPtr keyText(BIO_new(BIO_s_mem()));
    if (PEM_write_bio_X509(certText.get(), cert.get()) != 1 ||
        PEM_write_bio_PrivateKey(keyText.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) !=
            1)
        return {};
    return {textOf(certText.get()), textOf(keyText.get())};
}

ssl_ctx_st* makeServerContext(const SelfSignedCertificate& certificate) {
    BioPtr certText(BIO_new_mem_buf(certificate.certificatePem.data(),
                                    static_cast<int>(certificate.certificatePem.size())));
    BioPtr keyText(BIO_new_mem_buf(certificate.privateKeyPem.data(),
                                   static_cast<int>(certificate.privateKeyPem.size())));
    CertPtr cert(PEM_read_bio_X509(certText.get(), nullptr, nullptr, nullptr));
    KeyPtr key(PEM_read_bio_PrivateKey(keyText.get(), nullptr, nullptr, nullptr));
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    if (context == nullptr || !cert || !key || SSL_CTX_use_certificate(context, cert.get()) != 1 ||
        SSL_CTX_use_PrivateKey(context, key.get()) != 1) {
        SSL_CTX_free(context);
        return nullptr;
    }
    return context;
}

void freeServerContext(ssl_ctx_st* context) {
    SSL_CTX_free(context);
}

}  // namespace lianshuo::test

#include "tls_server_context.h"

#include <openssl/pem.h>
#include <openssl/ssl.h>

TlsServerContext::TlsServerContext(const TestCertificate& certificate) : m_context(SSL_CTX_new(TLS_server_method())) {
    BIO* certificateBio =
        BIO_new_mem_buf(certificate.CertificatePem.data(), static_cast<int>(certificate.CertificatePem.size()));
    BIO* keyBio = BIO_new_mem_buf(certificate.KeyPem.data(), static_cast<int>(certificate.KeyPem.size()));
    X509* x509 = PEM_read_bio_X509(certificateBio, nullptr, nullptr, nullptr);
    EVP_PKEY* key = PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr);
    m_loaded = m_context != nullptr && SSL_CTX_use_certificate(m_context, x509) == 1 &&
               SSL_CTX_use_PrivateKey(m_context, key) == 1;
    X509_free(x509);
    EVP_PKEY_free(key);
    BIO_free(certificateBio);
    BIO_free(keyBio);
}

TlsServerContext::~TlsServerContext() {
    SSL_CTX_free(m_context);
}

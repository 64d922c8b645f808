#include "self_signed_certificate.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <functional>
#include <stdexcept>

#include "engine/net/tls_keyprint.h"

namespace {

std::string PemOf(const std::function<int(BIO*)>& write) {
    BIO* bio = BIO_new(BIO_s_mem());
    write(bio);
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    std::string pem(data, static_cast<std::size_t>(length));
    BIO_free(bio);
    return pem;
}

}  // namespace

TestCertificate MakeSelfSignedCertificate() {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* certificate = X509_new();
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 86400);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1,
                               0);
    X509_set_issuer_name(certificate, name);
    X509_set_pubkey(certificate, key);
    if (key == nullptr || X509_sign(certificate, key, EVP_sha256()) == 0)
        throw std::runtime_error("cannot make a test certificate");

    TestCertificate made;
    made.CertificatePem = PemOf([&](BIO* bio) { return PEM_write_bio_X509(bio, certificate); });
    made.KeyPem =
        PemOf([&](BIO* bio) { return PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr); });
    unsigned char* der = nullptr;
    const int length = i2d_X509(certificate, &der);
    made.Keyprint = CertificateKeyprint({der, static_cast<std::size_t>(length)});
    OPENSSL_free(der);
    X509_free(certificate);
    EVP_PKEY_free(key);
    return made;
}

#include "support/tls_test_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

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

TlsLineServer::TlsLineServer(const TestCertificate& certificate, std::string greeting)
    : m_greeting(std::move(greeting)), m_sslContext(SSL_CTX_new(TLS_server_method())) {
    BIO* certificateBio =
        BIO_new_mem_buf(certificate.CertificatePem.data(), static_cast<int>(certificate.CertificatePem.size()));
    BIO* keyBio = BIO_new_mem_buf(certificate.KeyPem.data(), static_cast<int>(certificate.KeyPem.size()));
    X509* x509 = PEM_read_bio_X509(certificateBio, nullptr, nullptr, nullptr);
    EVP_PKEY* key = PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr);
    const bool loaded =
        SSL_CTX_use_certificate(m_sslContext, x509) == 1 && SSL_CTX_use_PrivateKey(m_sslContext, key) == 1;
    X509_free(x509);
    EVP_PKEY_free(key);
    BIO_free(certificateBio);
    BIO_free(keyBio);

    m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (!loaded || m_listener < 0 || bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(m_listener, 8) != 0 || getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        pipe2(m_wake, O_CLOEXEC) != 0)
        throw std::runtime_error("TlsLineServer: cannot serve TLS on 127.0.0.1");
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

TlsLineServer::~TlsLineServer() {
    const char stop = 1;
    (void)!write(m_wake[1], &stop, 1);
    m_thread.join();
    close(m_listener);
    close(m_wake[0]);
    close(m_wake[1]);
    SSL_CTX_free(m_sslContext);
}

std::vector<std::string> TlsLineServer::Received() const {
    std::lock_guard lock(m_mutex);
    return m_received;
}

bool TlsLineServer::Wait(int fd, short events) const {
    pollfd fds[2] = {{fd, events, 0}, {m_wake[0], POLLIN, 0}};
    while (poll(fds, 2, -1) < 0) {
    }
    return (fds[1].revents & POLLIN) == 0;
}

void TlsLineServer::Serve() {
    // OpenSSL writes with write(): a client that has left must not end the test process with SIGPIPE.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    while (Wait(m_listener, POLLIN)) {
        const int client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client < 0) continue;
        Answer(client);
        close(client);
    }
}

void TlsLineServer::Answer(int client) {
    SSL* ssl = SSL_new(m_sslContext);
    SSL_set_fd(ssl, client);
    // Runs one non-blocking TLS call to completion; false when the peer left, it failed or the server stops.
    const auto drive = [&](const std::function<int()>& call) {
        while (true) {
            ERR_clear_error();
            const int result = call();
            if (result > 0) return result;
            const int error = SSL_get_error(ssl, result);
            if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) return 0;
            if (!Wait(client, error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT)) return 0;
        }
    };
    const auto send = [&](const std::string& text) {
        return drive([&] { return SSL_write(ssl, text.data(), static_cast<int>(text.size())); }) > 0;
    };
    std::string buffer;
    if (drive([&] { return SSL_accept(ssl); }) > 0 && send(m_greeting)) {
        char chunk[4096];
        while (const int received = drive([&] { return SSL_read(ssl, chunk, sizeof chunk); })) {
            buffer.append(chunk, static_cast<std::size_t>(received));
            for (std::size_t end = buffer.find('\n'); end != std::string::npos; end = buffer.find('\n')) {
                const std::string line = buffer.substr(0, end);
                buffer.erase(0, end + 1);
                {
                    std::lock_guard lock(m_mutex);
                    m_received.push_back(line);
                }
                if (!send("echo:" + line + "\n")) break;
            }
        }
    }
    SSL_free(ssl);
}

#include "engine/net/tls_session.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <vector>

#include "engine/net/tls_keyprint.h"

namespace {

// OpenSSL's own socket BIO writes with write(), which raises SIGPIPE when the hub has closed; this one sends with
// MSG_NOSIGNAL like the plain client. The socket descriptor is the BIO's data.
int SocketOf(BIO* bio) {
    return static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
}

int SocketWrite(BIO* bio, const char* data, int length) {
    BIO_clear_retry_flags(bio);
    const ssize_t sent = send(SocketOf(bio), data, static_cast<std::size_t>(length), MSG_NOSIGNAL);
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) BIO_set_retry_write(bio);
    return static_cast<int>(sent);
}

int SocketRead(BIO* bio, char* data, int length) {
    BIO_clear_retry_flags(bio);
    const ssize_t received = recv(SocketOf(bio), data, static_cast<std::size_t>(length), 0);
    if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) BIO_set_retry_read(bio);
    return static_cast<int>(received);
}

long SocketControl(BIO*, int command, long, void*) {
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

BIO_METHOD* SocketMethod() {
    static BIO_METHOD* const method = [] {
        BIO_METHOD* created = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "hubsift socket");
        if (created == nullptr) return created;
        BIO_meth_set_write(created, SocketWrite);
        BIO_meth_set_read(created, SocketRead);
        BIO_meth_set_ctrl(created, SocketControl);
        return created;
    }();
    return method;
}

// One context for every session: set up once, then only read by SSL_new, which is thread-safe.
SSL_CTX* ClientContext() {
    static SSL_CTX* const context = [] {
        SSL_CTX* created = SSL_CTX_new(TLS_client_method());
        if (created == nullptr) return created;
        // Nothing is verified but the keyprint, so the security level would only keep old hubs out.
        SSL_CTX_set_security_level(created, 0);
        SSL_CTX_set_min_proto_version(created, TLS1_VERSION);
        SSL_CTX_set_verify(created, SSL_VERIFY_NONE, nullptr);
        SSL_CTX_set_mode(created, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
        return created;
    }();
    return context;
}

std::string OpenSslError() {
    const unsigned long error = ERR_get_error();
    if (error == 0) return "connection closed during the TLS handshake";
    char text[256];
    ERR_error_string_n(error, text, sizeof text);
    return text;
}

bool IsNumericAddress(const std::string& host) {
    in_addr ignored{};
    return inet_pton(AF_INET, host.c_str(), &ignored) == 1;
}

std::vector<uint8_t> PeerCertificate(SSL* ssl) {
    X509* certificate = SSL_get1_peer_certificate(ssl);
    if (certificate == nullptr) return {};
    std::vector<uint8_t> der;
    const int length = i2d_X509(certificate, nullptr);
    if (length > 0) {
        der.resize(static_cast<std::size_t>(length));
        unsigned char* out = der.data();
        i2d_X509(certificate, &out);
    }
    X509_free(certificate);
    return der;
}

}  // namespace

TlsSession::TlsSession(int socket) {
    SSL_CTX* context = ClientContext();
    if (context == nullptr) return;
    BIO* bio = SocketMethod() != nullptr ? BIO_new(SocketMethod()) : nullptr;
    if (bio == nullptr) return;
    BIO_set_data(bio, reinterpret_cast<void*>(static_cast<intptr_t>(socket)));
    BIO_set_init(bio, 1);
    m_ssl = SSL_new(context);
    if (m_ssl == nullptr) {
        BIO_free(bio);
        return;
    }
    SSL_set_bio(m_ssl, bio, bio);
}

TlsSession::~TlsSession() {
    if (m_ssl != nullptr) SSL_free(m_ssl);
}

TcpStatus TlsSession::AfterCall(int result, const SocketWait& wait) {
    switch (SSL_get_error(m_ssl, result)) {
        case SSL_ERROR_WANT_READ:
            return wait(POLLIN);
        case SSL_ERROR_WANT_WRITE:
            return wait(POLLOUT);
        case SSL_ERROR_ZERO_RETURN:
            return TcpStatus::PeerClosed;
        // A peer that closes without TLS's own goodbye, as many hubs do.
        case SSL_ERROR_SYSCALL:
            return errno == 0 || errno == ECONNRESET || errno == EPIPE ? TcpStatus::PeerClosed : TcpStatus::Failed;
        default:
            return TcpStatus::Failed;
    }
}

TcpStatus TlsSession::Handshake(const std::string& serverName, std::string_view keyprint, const SocketWait& wait,
                                std::string& failure) {
    if (m_ssl == nullptr) {
        failure = "TLS is not available: " + OpenSslError();
        return TcpStatus::Failed;
    }
    if (!serverName.empty() && !IsNumericAddress(serverName))
        SSL_ctrl(m_ssl, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name, const_cast<char*>(serverName.c_str()));
    while (true) {
        ERR_clear_error();
        errno = 0;
        const int result = SSL_connect(m_ssl);
        if (result == 1) break;
        const int error = SSL_get_error(m_ssl, result);
        const TcpStatus status = AfterCall(result, wait);
        if (status == TcpStatus::Ok) continue;
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE)
            failure = "TLS handshake failed: " + OpenSslError();
        return status == TcpStatus::PeerClosed ? TcpStatus::Failed : status;
    }
    if (!keyprint.empty() && !CertificateMatchesKeyprint(PeerCertificate(m_ssl), keyprint)) {
        failure = kKeyprintMismatch;
        return TcpStatus::Failed;
    }
    return TcpStatus::Ok;
}

TcpStatus TlsSession::ReadSome(std::string& buffer, const SocketWait& wait) {
    char chunk[16384];
    while (true) {
        ERR_clear_error();
        errno = 0;
        const int received = SSL_read(m_ssl, chunk, sizeof chunk);
        if (received > 0) {
            buffer.append(chunk, static_cast<std::size_t>(received));
            return TcpStatus::Ok;
        }
        if (const TcpStatus status = AfterCall(received, wait); status != TcpStatus::Ok) return status;
    }
}

TcpStatus TlsSession::WriteAll(std::string_view bytes, const SocketWait& wait) {
    while (!bytes.empty()) {
        ERR_clear_error();
        errno = 0;
        const int length = static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX));
        const int sent = SSL_write(m_ssl, bytes.data(), length);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (const TcpStatus status = AfterCall(sent, wait); status != TcpStatus::Ok) return status;
    }
    return TcpStatus::Ok;
}

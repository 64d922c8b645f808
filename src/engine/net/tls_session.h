#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "engine/net/tcp_client.h"

typedef struct ssl_st SSL;

// The client side of TLS over a connected non-blocking socket that the caller owns and keeps open for the session's
// life. Hub certificates are mostly self-signed, so any certificate is accepted unless a keyprint pins it. For the
// thread that owns the socket.
class TlsSession {
public:
    // Waits until the socket is ready for events (POLLIN or POLLOUT) within the caller's deadline: Ok to go on,
    // anything else ends the operation with that status.
    using SocketWait = std::function<TcpStatus(short events)>;

    static constexpr std::string_view kKeyprintMismatch = "certificate does not match the hub list's keyprint";

    explicit TlsSession(int socket);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    // serverName is sent for name-based hosting (empty: none). A non-empty keyprint ("SHA256/<base32>") must match
    // the server's certificate. On failure, failure says why.
    TcpStatus Handshake(const std::string& serverName, std::string_view keyprint, const SocketWait& wait,
                        std::string& failure);
    // Appends at least one received byte to buffer.
    TcpStatus ReadSome(std::string& buffer, const SocketWait& wait);
    TcpStatus WriteAll(std::string_view bytes, const SocketWait& wait);

private:
    // What the last call's result means: Ok to retry after the wait it needed, or the status that ends it.
    TcpStatus AfterCall(int result, const SocketWait& wait);

    SSL* m_ssl = nullptr;
};

#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "engine/net/name_resolver.h"

class TlsSession;

enum class TcpStatus {
    Ok,
    InvalidTarget,   // an empty host, or a port outside 1 to 65535
    NameNotFound,    // the name does not exist or has no IPv4 address
    LookupFailed,    // no name server gave a usable answer
    LookupTimedOut,  // the time-out passed while the name was being looked up
    Refused,         // nothing listens at the address
    Unreachable,     // no route to the host or its network
    TimedOut,
    PeerClosed,  // closed or reset by the other side
    LineTooLong,
    Failed,  // any other system error
    Aborted,
};

// A connection taken out of a TcpClient to be read elsewhere without blocking: its non-blocking socket (owned),
// the bytes received but not yet read, and its TLS session when it runs TLS.
struct ReleasedConnection {
    ReleasedConnection();
    ~ReleasedConnection();
    ReleasedConnection(ReleasedConnection&& other) noexcept;
    // Closes this connection first.
    ReleasedConnection& operator=(ReleasedConnection&& other) noexcept;
    ReleasedConnection(const ReleasedConnection&) = delete;
    ReleasedConnection& operator=(const ReleasedConnection&) = delete;

    int socket = -1;
    std::string buffered;
    std::unique_ptr<TlsSession> tls;
};

// The status in a few plain words, e.g. "connection refused".
const char* DescribeTcpStatus(TcpStatus status);

// A blocking IPv4 TCP client for one thread (the owner). Every blocking operation takes its own time-out and can be
// cut short from any other thread with Abort(), which makes it and every later operation return Aborted until the
// owner calls Rearm().
class TcpClient {
public:
    static constexpr std::size_t MaxLineLength = 16384;

    // nameServers: see NameResolver; empty for the system's.
    explicit TcpClient(std::string nameServers = {});
    ~TcpClient();
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    // Resolves host (name or dotted address) and connects, both within timeout. Closes an earlier connection first.
    TcpStatus Connect(const std::string& host, int32_t port, std::chrono::milliseconds timeout);
    // Takes over socket, a connection that already stands (see tcp_connect.h), as if Connect had made it; the hub
    // exchanges then skip their connect. Closes an earlier connection first; -1 only closes it.
    void Adopt(int socket);
    // Right after Connect: TLS over the connection within timeout; from then on reads and writes go through it. A
    // non-empty keyprint ("SHA256/<base32>") must match the server's certificate. On failure, failure says why
    // (empty for a time-out or an Abort) and the client is disconnected.
    TcpStatus StartTls(const std::string& serverName, std::string_view keyprint, std::chrono::milliseconds timeout,
                       std::string& failure);
    // The bytes up to the first terminator, without it; what follows stays buffered. The line must be complete
    // within timeout and at most MaxLineLength bytes long.
    TcpStatus ReadLine(char terminator, std::chrono::milliseconds timeout, std::string& line);
    TcpStatus WriteAll(std::string_view bytes, std::chrono::milliseconds timeout);
    bool Connected() const { return m_socket >= 0; }
    // The connected peer as "a.b.c.d:port"; empty when not connected.
    std::string PeerAddress() const;
    void Disconnect();
    // Hands the connection over, leaving the client disconnected.
    ReleasedConnection Release();

    // Any thread: wakes a blocked operation promptly. The owner's socket itself is never touched here.
    void Abort();
    // Owner thread: forgets an earlier Abort.
    void Rearm();

private:
    bool Aborted();
    // Waits until the socket is ready for events or the deadline passes; Ok, TimedOut, Aborted or Failed.
    TcpStatus WaitSocket(short events, std::chrono::steady_clock::time_point deadline);
    TcpStatus Resolve(const std::string& host, std::chrono::steady_clock::time_point deadline, uint32_t& address);

    const NameResolver m_resolver;
    int m_socket = -1;
    int m_abortFd = -1;  // eventfd, readable while aborted
    std::mutex m_abortLock;
    bool m_aborted = false;
    std::string m_buffer;
    std::unique_ptr<TlsSession> m_tls;  // set while the connection runs TLS
};

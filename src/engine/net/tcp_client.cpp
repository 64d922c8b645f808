#include "engine/net/tcp_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "engine/net/tcp_connect.h"
#include "engine/net/tls_session.h"

using Clock = std::chrono::steady_clock;

namespace {

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<int64_t>(left, 0, int64_t{24} * 3600 * 1000));
}

}  // namespace

const char* DescribeTcpStatus(TcpStatus status) {
    switch (status) {
        case TcpStatus::Ok:
            return "ok";
        case TcpStatus::InvalidTarget:
            return "no usable host and port";
        case TcpStatus::NameNotFound:
            return "name not resolved";
        case TcpStatus::LookupFailed:
            return "name lookup failed";
        case TcpStatus::LookupTimedOut:
            return "name lookup timed out";
        case TcpStatus::Refused:
            return "connection refused";
        case TcpStatus::Unreachable:
            return "host unreachable";
        case TcpStatus::TimedOut:
            return "timed out";
        case TcpStatus::PeerClosed:
            return "closed by the other side";
        case TcpStatus::LineTooLong:
            return "line too long";
        case TcpStatus::Failed:
            return "network error";
        case TcpStatus::Aborted:
            return "cut short";
    }
    return "?";
}

ReleasedConnection::ReleasedConnection() = default;

ReleasedConnection::ReleasedConnection(ReleasedConnection&& other) noexcept
    : socket(std::exchange(other.socket, -1)), buffered(std::move(other.buffered)), tls(std::move(other.tls)) {}

ReleasedConnection& ReleasedConnection::operator=(ReleasedConnection&& other) noexcept {
    if (this == &other) return *this;
    tls.reset();
    if (socket >= 0) close(socket);
    socket = std::exchange(other.socket, -1);
    buffered = std::move(other.buffered);
    tls = std::move(other.tls);
    return *this;
}

ReleasedConnection::~ReleasedConnection() {
    tls.reset();
    if (socket >= 0) close(socket);
}

TcpClient::TcpClient(std::string nameServers)
    : m_resolver(std::move(nameServers)), m_abortFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TcpClient::~TcpClient() {
    Disconnect();
    if (m_abortFd >= 0) close(m_abortFd);
}

void TcpClient::Abort() {
    std::lock_guard guard(m_abortLock);
    if (m_aborted) return;
    m_aborted = true;
    const uint64_t one = 1;
    [[maybe_unused]] const auto written = write(m_abortFd, &one, sizeof one);
}

void TcpClient::Rearm() {
    std::lock_guard guard(m_abortLock);
    if (!m_aborted) return;
    m_aborted = false;
    uint64_t value = 0;
    [[maybe_unused]] const auto readBytes = read(m_abortFd, &value, sizeof value);
}

bool TcpClient::Aborted() {
    std::lock_guard guard(m_abortLock);
    return m_aborted;
}

void TcpClient::Disconnect() {
    m_tls.reset();
    if (m_socket >= 0) close(m_socket);
    m_socket = -1;
    m_buffer.clear();
}

ReleasedConnection TcpClient::Release() {
    ReleasedConnection released;
    released.socket = std::exchange(m_socket, -1);
    released.buffered = std::move(m_buffer);
    released.tls = std::move(m_tls);
    m_buffer.clear();
    return released;
}

TcpStatus TcpClient::WaitSocket(short events, Clock::time_point deadline) {
    pollfd fds[2] = {{m_socket, events, 0}, {m_abortFd, POLLIN, 0}};
    while (true) {
        const int ready = poll(fds, 2, MillisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return TcpStatus::Failed;
        if (fds[1].revents != 0) return TcpStatus::Aborted;
        if (fds[0].revents != 0) return TcpStatus::Ok;
        if (Clock::now() >= deadline) return TcpStatus::TimedOut;
    }
}

TcpStatus TcpClient::Resolve(const std::string& host, Clock::time_point deadline, uint32_t& address) {
    if (const std::optional<uint32_t> dotted = DottedAddress(host)) {
        address = *dotted;
        return TcpStatus::Ok;
    }
    return StatusOfLookup(m_resolver.Resolve(host, deadline, m_abortFd, address));
}

TcpStatus TcpClient::Connect(const std::string& host, int32_t port, std::chrono::milliseconds timeout) {
    Disconnect();
    if (Aborted()) return TcpStatus::Aborted;
    if (host.empty() || port < 1 || port > 65535) return TcpStatus::InvalidTarget;
    const auto deadline = Clock::now() + timeout;
    uint32_t address = 0;
    if (const TcpStatus resolved = Resolve(host, deadline, address); resolved != TcpStatus::Ok) return resolved;

    if (const TcpStatus started = StartConnect(address, port, m_socket); started != TcpStatus::Ok) return started;
    const TcpStatus waited = WaitSocket(POLLOUT, deadline);
    const TcpStatus connected = waited == TcpStatus::Ok ? FinishConnect(m_socket) : waited;
    if (connected != TcpStatus::Ok) Disconnect();
    return connected;
}

void TcpClient::Adopt(int socket) {
    Disconnect();
    m_socket = socket;
}

TcpStatus TcpClient::StartTls(const std::string& serverName, std::string_view keyprint,
                              std::chrono::milliseconds timeout, std::string& failure) {
    if (m_socket < 0) return TcpStatus::Failed;
    if (Aborted()) return TcpStatus::Aborted;
    const auto deadline = Clock::now() + timeout;
    m_tls = std::make_unique<TlsSession>(m_socket);
    const TcpStatus status = m_tls->Handshake(
        serverName, keyprint, [&](short events) { return WaitSocket(events, deadline); }, failure);
    if (status != TcpStatus::Ok) Disconnect();
    return status;
}

std::string TcpClient::PeerAddress() const {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (m_socket < 0 || getpeername(m_socket, reinterpret_cast<sockaddr*>(&peer), &length) != 0) return {};
    char text[INET_ADDRSTRLEN] = {};
    if (inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text) == nullptr) return {};
    return std::string(text) + ":" + std::to_string(ntohs(peer.sin_port));
}

TcpStatus TcpClient::ReadLine(char terminator, std::chrono::milliseconds timeout, std::string& line) {
    if (m_socket < 0) return TcpStatus::Failed;
    if (Aborted()) return TcpStatus::Aborted;
    const auto deadline = Clock::now() + timeout;
    std::size_t scanned = 0;
    while (true) {
        const std::size_t end = m_buffer.find(terminator, scanned);
        if (end != std::string::npos && end <= MaxLineLength) {
            line.assign(m_buffer, 0, end);
            m_buffer.erase(0, end + 1);
            return TcpStatus::Ok;
        }
        if (m_buffer.size() > MaxLineLength) return TcpStatus::LineTooLong;
        scanned = m_buffer.size();
        if (m_tls) {
            const auto wait = [&](short events) { return WaitSocket(events, deadline); };
            if (const TcpStatus received = m_tls->ReadSome(m_buffer, wait); received != TcpStatus::Ok) return received;
            continue;
        }
        const TcpStatus waited = WaitSocket(POLLIN, deadline);
        if (waited != TcpStatus::Ok) return waited;
        char chunk[16384];
        const ssize_t received = recv(m_socket, chunk, sizeof chunk, 0);
        if (received == 0) return TcpStatus::PeerClosed;
        if (received < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
            return errno == ECONNRESET ? TcpStatus::PeerClosed : TcpStatus::Failed;
        }
        m_buffer.append(chunk, static_cast<std::size_t>(received));
    }
}

TcpStatus TcpClient::WriteAll(std::string_view bytes, std::chrono::milliseconds timeout) {
    if (m_socket < 0) return TcpStatus::Failed;
    if (Aborted()) return TcpStatus::Aborted;
    const auto deadline = Clock::now() + timeout;
    if (m_tls) return m_tls->WriteAll(bytes, [&](short events) { return WaitSocket(events, deadline); });
    while (!bytes.empty()) {
        const ssize_t sent = send(m_socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const TcpStatus waited = WaitSocket(POLLOUT, deadline);
            if (waited != TcpStatus::Ok) return waited;
            continue;
        }
        return (errno == EPIPE || errno == ECONNRESET) ? TcpStatus::PeerClosed : TcpStatus::Failed;
    }
    return TcpStatus::Ok;
}

#include "engine/net/tcp_connect.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

// The cause of a failed connect, from its errno.
TcpStatus ConnectError(int error) {
    switch (error) {
        case ECONNREFUSED:
            return TcpStatus::Refused;
        case ENETUNREACH:
        case EHOSTUNREACH:
        case ENETDOWN:
        case EHOSTDOWN:
            return TcpStatus::Unreachable;
        case ETIMEDOUT:
            return TcpStatus::TimedOut;
        default:
            return TcpStatus::Failed;
    }
}

}  // namespace

std::optional<uint32_t> DottedAddress(const std::string& host) {
    in_addr numeric{};
    if (inet_pton(AF_INET, host.c_str(), &numeric) != 1) return std::nullopt;
    return numeric.s_addr;
}

TcpStatus StatusOfLookup(LookupStatus status) {
    switch (status) {
        case LookupStatus::Found:
            return TcpStatus::Ok;
        case LookupStatus::NotFound:
            return TcpStatus::NameNotFound;
        case LookupStatus::Failed:
            return TcpStatus::LookupFailed;
        case LookupStatus::TimedOut:
            return TcpStatus::LookupTimedOut;
        case LookupStatus::Aborted:
            return TcpStatus::Aborted;
    }
    return TcpStatus::LookupFailed;
}

TcpStatus StartConnect(uint32_t address, int32_t port, int& socket) {
    socket = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket < 0) return TcpStatus::Failed;
    const int on = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<uint16_t>(port));
    target.sin_addr.s_addr = address;
    if (connect(socket, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0 || errno == EINPROGRESS)
        return TcpStatus::Ok;
    const int error = errno;
    close(socket);
    socket = -1;
    return ConnectError(error);
}

TcpStatus FinishConnect(int socket) {
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    return error == 0 ? TcpStatus::Ok : ConnectError(error);
}

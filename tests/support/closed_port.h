#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>

// A TCP port on 127.0.0.1 that refuses connections: bound by this process and never listening, for as long as the
// process runs, so that no other program can start listening on it in between.
inline std::uint16_t ClosedLoopbackPort() {
    static const std::uint16_t port = [] {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return std::uint16_t{0};
        return ntohs(address.sin_port);
    }();
    return port;
}

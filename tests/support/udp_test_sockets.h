#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>

// A plain UDP socket on 127.0.0.1, for sending and receiving datagrams and for keeping a port busy.
class UdpTestSocket {
public:
    UdpTestSocket() : m_fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
    ~UdpTestSocket() { close(m_fd); }
    UdpTestSocket(const UdpTestSocket&) = delete;
    UdpTestSocket& operator=(const UdpTestSocket&) = delete;

    bool Bind(int32_t port) {
        const sockaddr_in address = Loopback(port);
        return bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    // The bound port (the system's choice after Bind(0)), or 0.
    int32_t Port() const {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        if (getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
        return ntohs(address.sin_port);
    }
    // Binds a port the system picks; 0 when none could be bound.
    int32_t BindAnyPort() {
        sockaddr_in address = Loopback(0);
        socklen_t length = sizeof address;
        if (bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return 0;
        return ntohs(address.sin_port);
    }
    // The next datagram, or nothing when none comes within timeoutMs.
    std::optional<std::string> Receive(int timeoutMs) {
        pollfd ready{m_fd, POLLIN, 0};
        if (poll(&ready, 1, timeoutMs) <= 0) return std::nullopt;
        char buffer[65536];
        const ssize_t received = recv(m_fd, buffer, sizeof buffer, 0);
        if (received < 0) return std::nullopt;
        return std::string(buffer, static_cast<std::size_t>(received));
    }
    bool SendTo(int32_t port, const std::string& bytes) {
        const sockaddr_in address = Loopback(port);
        return sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&address),
                      sizeof address) == static_cast<ssize_t>(bytes.size());
    }

private:
    static sockaddr_in Loopback(int32_t port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }

    int m_fd;
};

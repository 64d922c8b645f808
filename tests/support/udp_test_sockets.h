#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

// A plain UDP socket on 127.0.0.1, for sending datagrams and for keeping a port busy.
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

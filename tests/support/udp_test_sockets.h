#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <random>
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

// The first of count consecutive UDP ports that are free on 127.0.0.1 right now.
inline int32_t FreeUdpPorts(int count) {
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int32_t> base(20000, 60000);
    for (int attempt = 0; attempt < 200; ++attempt) {
        const int32_t first = base(random);
        bool free = true;
        for (int i = 0; i < count && free; ++i) free = UdpTestSocket().Bind(first + i);
        if (free) return first;
    }
    return -1;
}

#include "socket_util.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <charconv>
#include <random>
#include <string>

namespace {

sockaddr_in LoopbackAddress(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

int BindSocket(int type, uint16_t port) {
    const int fd = socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int on = 1;
    if (type == SOCK_STREAM) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in address = LoopbackAddress(port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::vector<int> TryRun(uint16_t base, std::size_t count) {
    std::vector<int> fds;
    if (base == 0 || base + count - 1 > 65535) return fds;
    for (std::size_t i = 0; i < count; ++i) {
        const int fd = BindTcp(static_cast<uint16_t>(base + i));
        if (fd < 0) {
            for (const int open : fds) CloseSocket(open);
            return {};
        }
        fds.push_back(fd);
    }
    return fds;
}

}  // namespace

int BindTcp(uint16_t port) {
    return BindSocket(SOCK_STREAM, port);
}

bool StartListening(int fd) {
    return listen(fd, 128) == 0;
}

int ListenWithFullQueue(int fd) {
    if (listen(fd, 0) != 0) return -1;
    // A blocking connect returns once the connection is established, so the queue is full before anyone else knocks.
    const int filler = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = LoopbackAddress(LocalPort(fd));
    if (filler >= 0 && connect(filler, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return filler;
    if (filler >= 0) close(filler);
    return -1;
}

int ListenTcp(uint16_t port) {
    const int fd = BindTcp(port);
    if (fd >= 0 && !StartListening(fd)) {
        close(fd);
        return -1;
    }
    return fd;
}

int OpenUdp() {
    const int fd = BindSocket(SOCK_DGRAM, 0);
    if (fd >= 0) {
        const int buffer = 1 << 20;
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    }
    return fd;
}

uint16_t LocalPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

void CloseSocket(int fd) {
    if (fd >= 0) close(fd);
}

std::vector<int> BindPortRun(uint16_t base, std::size_t count) {
    if (count == 0) return {};
    if (base != 0) return TryRun(base, count);
    // A free run is looked for below the usual range of outgoing ports (32768 and up on Linux), where the local
    // ends of other programs' connections do not break it up.
    std::random_device random;
    constexpr unsigned low = 20000;
    constexpr unsigned high = 32768;
    for (int attempt = 0; attempt < 64 && low + count < high; ++attempt) {
        const auto start = static_cast<uint16_t>(low + random() % (high - low - count));
        auto fds = TryRun(start, count);
        if (!fds.empty()) return fds;
    }
    std::vector<int> fds;
    for (std::size_t i = 0; i < count; ++i) {
        const int fd = BindTcp(0);
        if (fd < 0) {
            for (const int open : fds) CloseSocket(open);
            return {};
        }
        fds.push_back(fd);
    }
    return fds;
}

std::optional<sockaddr_in> ParseLoopbackEndpoint(std::string_view text) {
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const std::string host(text.substr(0, colon));
    const std::string_view portText = text.substr(colon + 1);
    unsigned port = 0;
    const auto [end, error] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (error != std::errc() || end != portText.data() + portText.size() || port == 0 || port > 65535) {
        return std::nullopt;
    }
    sockaddr_in address = LoopbackAddress(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) return std::nullopt;
    if ((ntohl(address.sin_addr.s_addr) >> 24) != 127) return std::nullopt;
    return address;
}

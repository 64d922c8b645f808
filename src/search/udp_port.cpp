#include "search/udp_port.h"

int32_t NextUdpPort(int32_t current, int32_t minPort, int32_t maxPort) {
    if (current < minPort || current >= maxPort) return minPort;
    return current + 1;
}

std::optional<int32_t> BindRunPort(UdpListener& listener, const std::string& ip, int32_t chosen, int32_t minPort,
                                   int32_t maxPort) {
    for (int32_t port = chosen;; ++port) {
        if (listener.Activate(ip, port)) return port;
        if (port < minPort || port >= maxPort) return std::nullopt;
    }
}

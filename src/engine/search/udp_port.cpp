#include "engine/search/udp_port.h"

#include "engine/net/local_addresses.h"
#include "engine/search/connection_plan.h"

int32_t NextUdpPort(int32_t current, int32_t minPort, int32_t maxPort) {
    if (current < minPort || current >= maxPort) return minPort;
    return current + 1;
}

bool BindRunPort(const UdpPortBinder& bind, int32_t& port, int32_t minPort, int32_t maxPort) {
    for (;; ++port) {
        if (const std::optional<int32_t> bound = bind(port)) {
            port = *bound;
            return true;
        }
        // A typed maximum far above the last port must not keep the window busy for billions of tries.
        if (port < minPort || port >= maxPort || port >= 65535) return false;
    }
}

bool BindRunPort(UdpListener& listener, const std::string& ip, int32_t& port, int32_t minPort, int32_t maxPort) {
    const auto bind = [&](int32_t candidate) -> std::optional<int32_t> {
        if (!listener.Activate(ip, candidate)) return std::nullopt;
        return listener.BoundPort();
    };
    return BindRunPort(bind, port, minPort, maxPort);
}

std::string RunListenerAddress(const std::string& advertisedIp) {
    return ListenerBindAddress(advertisedIp, UpInterfaceAddressTexts());
}

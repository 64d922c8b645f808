#include "engine/net/router_mapping.h"

const char* RouterProtocolName(RouterProtocol protocol) {
    return protocol == RouterProtocol::Upnp ? "UPnP" : "NAT-PMP";
}

std::string RouterLine(RouterProtocol protocol, const std::string& externalAddress,
                       std::optional<uint16_t> mappedPort) {
    std::string line = std::string("Router: ") + RouterProtocolName(protocol) + ", external " + externalAddress;
    if (mappedPort) line += ", port " + std::to_string(*mappedPort) + " mapped";
    return line;
}

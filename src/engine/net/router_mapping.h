#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

// How a port was opened on the home router.
enum class RouterProtocol { Upnp, NatPmp };

const char* RouterProtocolName(RouterProtocol protocol);

// "Router: UPnP, external 203.0.113.7", and ", port 41000 mapped" when a port is.
std::string RouterLine(RouterProtocol protocol, const std::string& externalAddress, std::optional<uint16_t> mappedPort);

// A UDP port the router forwards to this machine: datagrams to ExternalAddress:ExternalPort arrive at InternalPort.
struct RouterMapping {
    RouterProtocol Protocol = RouterProtocol::Upnp;
    std::string ExternalAddress;  // dotted decimal, as the router reports it
    uint16_t InternalPort = 0;
    uint16_t ExternalPort = 0;
    std::chrono::seconds Lease{0};  // 0: the router keeps it until it is removed
};

// A router's answer to "what is your external address": the address, or the reason in Error.
struct ExternalAddressAnswer {
    std::string Address;
    std::string Error;
};

// A router's answer to a mapping request: the external port it forwards and for how long, or the reason in Error.
struct PortMappingAnswer {
    uint16_t ExternalPort = 0;
    std::chrono::seconds Lease{0};
    std::string Error;
};

#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/net/router_mapping.h"

// An Internet Gateway Device (UPnP-IGD), spoken to with miniupnpc. Every call blocks on the router, bounded only by
// miniupnpc's own socket time-outs (3 s to connect, 5 s for each read), so a caller that must not wait runs it on a
// thread of its own. One thread at a time.
class UpnpGateway {
public:
    UpnpGateway();
    ~UpnpGateway();
    UpnpGateway(const UpnpGateway&) = delete;
    UpnpGateway& operator=(const UpnpGateway&) = delete;

    // Finds the gateway by SSDP: asks for every IGD device and service type at once and collects answers until
    // `listen` passes without one (so `listen` when nobody answers, about twice that at most), then reads the
    // descriptions of those that answered. A gateway that reports itself not connected, or connected through a
    // reserved address, still counts: whether a mapping helps is decided with the address hubs see. The error text
    // when no gateway is usable.
    std::string Discover(std::chrono::milliseconds listen);
    // Uses the gateway whose description lies at descriptionUrl instead of looking for one.
    std::string Open(const std::string& descriptionUrl);
    // This machine's address on the link to the gateway, which the mappings forward to.
    const std::string& LocalAddress() const { return m_localAddress; }

    ExternalAddressAnswer ExternalAddress();
    // Forwards externalPort to internalPort of this machine for lease. When externalPort is taken, takes any port
    // the gateway offers (IGD version 2); when the gateway allows only permanent mappings, asks for one.
    PortMappingAnswer MapUdp(uint16_t internalPort, uint16_t externalPort, std::chrono::seconds lease,
                             const std::string& description);
    std::string UnmapUdp(uint16_t externalPort);

    struct Device;

private:
    std::unique_ptr<Device> m_device;
    std::string m_localAddress;
};

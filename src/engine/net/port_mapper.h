#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "engine/net/router_mapping.h"

// How the mapper looks for the home router and what it asks of it.
struct PortMapperConfig {
    bool UseUpnp = true;
    bool UseNatPmp = true;
    // A known gateway instead of looking for one: the IGD's description URL; the NAT-PMP gateway as "a.b.c.d" or
    // "a.b.c.d:port" (empty: the default route's gateway).
    std::string UpnpDescriptionUrl;
    std::string NatPmpGateway;
    // SSDP discovery listens this long for answers (at least 1 s; twice that at most while answers come in).
    std::chrono::milliseconds SsdpListen{1000};
    // How long the NAT-PMP gateway has to answer during discovery; both are asked at the same time.
    std::chrono::milliseconds NatPmpWait{2000};
    // The longest any one call waits for the router.
    std::chrono::milliseconds CallTimeout{2000};
    std::chrono::seconds Lease{3600};
    std::string Description = "Hubsift";
};

// What the mapper knows of the home router; a snapshot.
struct RouterStatus {
    bool DiscoveryStarted = false;
    bool DiscoveryFinished = false;
    std::optional<RouterProtocol> Protocol;  // the gateway used for mappings: UPnP when both answered
    std::string ExternalAddress;
    std::optional<RouterMapping> Mapping;
    std::string Problem;  // why no gateway was found, or why the last call on it failed
};

// Finds the home router (UPnP-IGD and NAT-PMP, asked at the same time) and keeps one UDP port forwarded to this
// machine, renewing the lease at half its time while the port stays mapped. All router traffic runs on the
// mapper's own thread; every method may be called from any thread, and none waits longer than CallTimeout.
// Destruction removes the mapping (waiting at most CallTimeout) and does not wait for a router that hangs: a call
// still running in miniupnpc then finishes on its own, holding only state it shares.
class PortMapper {
public:
    explicit PortMapper(PortMapperConfig config);
    ~PortMapper();
    PortMapper(const PortMapper&) = delete;
    PortMapper& operator=(const PortMapper&) = delete;

    // Starts looking for the router and returns at once; later calls do nothing.
    void StartDiscovery();
    // Waits up to limit for discovery to finish; true when it has.
    bool WaitForDiscovery(std::chrono::milliseconds limit) const;
    RouterStatus Status() const;
    // One line for the user, e.g. "Router: UPnP, external 203.0.113.7, port 41000 mapped".
    std::string StatusLine() const;

    // Forwards the router's port of the same number (or the one it offers instead) to internalPort, replacing an
    // earlier mapping, and reads the external address. Waits for a discovery still running, within CallTimeout.
    // The mapping, or the reason in error. A mapping the router grants after the wait has ended shows in Status()
    // and is removed like any other.
    std::optional<RouterMapping> MapUdpPort(uint16_t internalPort, std::string& error);
    // Ends the mapping; nothing to do without one. Waits at most CallTimeout.
    void RemoveMapping();
    // Ends every wait at once; later calls fail without waiting. For program exit.
    void Abort();

    struct Core;

private:
    std::shared_ptr<Core> m_core;
    std::thread m_worker;
};

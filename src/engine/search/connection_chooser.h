#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "engine/search/connection_plan.h"

class PortMapper;

// A run waits this much longer for a router search still under way before it goes passive.
inline constexpr std::chrono::milliseconds kRouterDiscoveryGrace{2000};

// Decides how each run gets its results and keeps the router mapping of the runs that use one. The home router is
// looked for from start-up on (in the background); an Automatic run without a public address of its own maps its
// port there and goes passive when it cannot, or when hubs see another address than the router's (a second NAT).
// GUI thread; a decision waits for the router at most the grace and then the mapper's call time-out.
class ConnectionChooser {
public:
    // mapper: the home router's, or null when none is to be looked for.
    explicit ConnectionChooser(std::unique_ptr<PortMapper> mapper = nullptr,
                               std::chrono::milliseconds discoveryGrace = kRouterDiscoveryGrace);
    // Removes a mapping still held.
    ~ConnectionChooser();
    ConnectionChooser(const ConnectionChooser&) = delete;
    ConnectionChooser& operator=(const ConnectionChooser&) = delete;

    // Starts looking for the router and returns at once.
    void StartDiscovery();
    // The plan of a run whose listener has bound facts.ListenPort; facts.Mapping is filled in here when Automatic
    // needs one. A mapping held for an earlier run is replaced or removed.
    ConnectionPlan Choose(ConnectionFacts facts);
    // The run's port no longer needs forwarding; nothing to do without a mapping.
    void ReleaseMapping();
    // Hubs reported hubSeenAddress during the run: when the run is mapped and that is not the router's external
    // address, a second NAT sits in between. Then the line that says so (later runs go passive by themselves).
    std::optional<std::string> CheckHubSeenAddress(const std::string& hubSeenAddress);
    // What Automatic found last, e.g. "Router: UPnP, external 203.0.113.7, port 41000 mapped".
    std::string LastFound() const;

private:
    std::optional<RouterMapping> MapForRun(uint16_t listenPort, std::string& problem);

    std::unique_ptr<PortMapper> m_mapper;
    const std::chrono::milliseconds m_discoveryGrace;
    ConnectionFacts m_runFacts;  // the last Automatic run's, mapping included
    ConnectionPlan m_runPlan;
    std::string m_lastFound;  // empty until an Automatic run has decided
};

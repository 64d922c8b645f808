#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/search/connection_plan.h"
#include "engine/search/run_mapping_thread.h"

class GuiThread;
class PortMapper;

// A run waits this much longer for a router search still under way before it goes passive.
inline constexpr std::chrono::milliseconds kRouterDiscoveryGrace{2000};

// Decides how each run gets its results and keeps the router mapping of the runs that use one. The home router is
// looked for from start-up on (in the background); an Automatic run without a public address of its own maps its
// port there and goes passive when it cannot, or when hubs see another address than the router's (a second NAT).
// GUI thread; what waits on the router (at most the grace and then the mapper's call time-out) waits elsewhere.
class ConnectionChooser {
public:
    using Decided = std::function<void(const ConnectionPlan& plan)>;

    // mapper: the home router's, or null when none is to be looked for.
    explicit ConnectionChooser(GuiThread& gui, std::unique_ptr<PortMapper> mapper = nullptr,
                               std::chrono::milliseconds discoveryGrace = kRouterDiscoveryGrace);
    // Removes a mapping still held.
    ~ConnectionChooser();
    ConnectionChooser(const ConnectionChooser&) = delete;
    ConnectionChooser& operator=(const ConnectionChooser&) = delete;

    // Starts looking for the router and returns at once.
    void StartDiscovery();
    // Hands decided the plan of a run whose listener has bound facts.ListenPort: at once, or later on the GUI thread
    // when Automatic has to ask the router for a mapping (facts.Mapping is filled in then). A mapping held for an
    // earlier run is replaced or removed. A decision still pending is dropped.
    void Choose(ConnectionFacts facts, Decided decided);
    // Drops a decision still pending: its callback never runs.
    void CancelPending();
    // The run's port no longer needs forwarding; nothing to do without a mapping.
    void ReleaseMapping();
    // Hubs reported hubSeenAddress during the run: when the run is mapped and that is not the router's external
    // address, a second NAT sits in between. Then the line that says so (later runs go passive by themselves).
    std::optional<std::string> CheckHubSeenAddress(const std::string& hubSeenAddress);
    // What Automatic found last, e.g. "Router: UPnP, external 203.0.113.7, port 41000 mapped".
    std::string LastFound() const;

private:
    // The plan once the router has answered (or not).
    ConnectionPlan Settle(const ConnectionFacts& facts, const std::string& problem);

    std::shared_ptr<PortMapper> m_mapper;
    std::unique_ptr<RunMappingThread> m_mapping;  // null without a mapper
    ConnectionFacts m_runFacts;                   // the last Automatic run's, mapping included
    ConnectionPlan m_runPlan;
    std::string m_lastFound;  // empty until an Automatic run has decided
};

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/net/router_mapping.h"
#include "engine/settings/connection_mode.h"

// How a run gets its results: datagrams straight to this machine, datagrams through a port the router forwards, or
// $SR lines relayed by the hubs.
enum class ResultRoute { Direct, Mapped, Passive };

// What is known when a run decides how to be reached.
struct ConnectionFacts {
    ConnectionMode Mode = ConnectionMode::Automatic;
    // Active: the address the user vouches for (typed under "Specify IP:", or detected).
    std::string ActiveAddress;
    // Automatic: this machine's own public address; empty when it has none.
    std::string PublicLocalAddress;
    // Automatic: the port the router forwards, when mapping worked.
    std::optional<RouterMapping> Mapping;
    // The address hubs report for us in $UserIP; empty until one has.
    std::string HubSeenAddress;
    uint16_t ListenPort = 0;  // the run's bound UDP port
};

struct ConnectionPlan {
    ResultRoute Route = ResultRoute::Passive;
    std::string AdvertisedAddress;  // what $Search carries; empty when passive
    uint16_t AdvertisedPort = 0;
    std::string Summary;  // one line for the user, e.g. "No router mapping: passive"
};

// Active advertises the user's address as it is. Automatic uses a public local address directly, else the router's
// mapping, else goes passive; and an address that is not the one hubs see cannot be reached (a second NAT, e.g. a
// provider's, sits in between), so it goes passive too. The address range alone decides nothing: providers and test
// labs put private addresses on a router's outside.
ConnectionPlan PlanConnection(const ConnectionFacts& facts);

// The address of the settings when it is this machine's own and not a private one (then datagrams reach it
// directly), else empty.
std::string PublicLocalAddress(const std::string& address, const std::vector<std::string>& localAddresses);

// Where the run's listener binds: on the advertised address when it is one of this machine's own (only that
// interface receives, as ever), otherwise on all interfaces: an address the machine does not have (the router's
// external one, or a typed public address of a router that forwards the port) cannot be bound, and what the router
// forwards arrives at a local address.
std::string ListenerBindAddress(const std::string& advertisedAddress, const std::vector<std::string>& localAddresses);

#pragma once

#include <cstdint>
#include <string_view>

#include "engine/search/hub_queue.h"

enum class AddressOutcome { Entry, Skip, PortOverflow };

struct HubAddress {
    AddressOutcome outcome = AddressOutcome::Skip;
    std::string_view host{};
    int32_t port = 0;
    HubProtocol protocol = HubProtocol::Nmdc;
    std::string_view keyprint{};
};

inline constexpr int32_t kDefaultHubPort = 411;

// "dchub://host:port/anything", "adcs://host:port/?kp=SHA256/...", "host:port" or "host", as hub lists and $ForceMove
// name hubs. Nothing is validated: the connection judges host and port. An ADC address without a port is skipped:
// ADC has no usual port.
HubAddress ParseHubAddress(std::string_view address);

#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/search/connection_plan.h"

// What a run that waited for datagrams saw, counted when its hubs were done and five seconds more had passed.
struct PortSilence {
    ResultRoute Route = ResultRoute::Direct;
    std::string AdvertisedAddress;
    uint16_t AdvertisedPort = 0;
    int32_t SearchedHubs = 0;
    int64_t DatagramsReceived = 0;
};

// Searches that reach this many hubs and get not one datagram back were almost surely blocked on the way.
inline constexpr int32_t kSilentPortMinimumHubs = 5;

// The status line that says why nothing arrived, or nullopt when something did, the run was passive (no datagrams
// were asked for) or it searched too few hubs to tell.
std::optional<std::string> SilentPortHint(const PortSilence& run);

#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/search/hub_queue.h"
#include "engine/search/run_values.h"

// One hub of a run as a worker takes it: the queue entry, copied, and the connection made ahead for it.
struct HubTicket {
    std::string host;
    int32_t port;
    const HubEncoding* encoding;  // owned by the queue
    HubProtocol protocol;
    std::string keyprint;
    std::string name;
    int32_t users;
    std::string redirectedFrom;
    bool skipTooSoon;
    std::shared_ptr<const RunValues> values;
    uint64_t run;
    // The standing connection to the hub, for TcpClient::Adopt; -1 for a hub that is not to be contacted. Whoever
    // holds the ticket closes it unless a client adopts it.
    int socket = -1;
    // How long the name lookup and the connect took.
    std::chrono::milliseconds connectTook{0};
};

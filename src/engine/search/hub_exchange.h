#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/net/tcp_client.h"
#include "engine/search/run_values.h"

enum class ExchangeOutcome {
    Searched,  // $Search was written
    Failed,    // the hub could not be searched
    GivenUp,   // stillWanted() said no while waiting for $Hello
};

// One hub's NMDC login and search on the calling thread, message by message. The login (up to $Search) ends after
// four times the search time-out at most, however the hub trickles lines. stillWanted is asked after each line
// that is not the awaited $Hello. Leaves the client disconnected.
ExchangeOutcome RunHubExchange(TcpClient& client, const std::string& host, int32_t port, const RunValues& values,
                               const HubExchangeTimings& timings, const std::function<bool()>& stillWanted);

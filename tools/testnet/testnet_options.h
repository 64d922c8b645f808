#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "network_plan.h"
#include "search_request.h"
#include "test_network.h"

// The command line of hubsift-testnet.
struct TestnetOptions {
    static constexpr double DefaultAdcShare = 0.25;
    static constexpr double DefaultTlsShare = 0.25;

    PlanOptions plan;
    NetworkSettings network;
    int exitAfterSeconds = 0;  // 0 = run until interrupted
    bool help = false;
    // --count: print the number of results the network gives for this search, and exit.
    std::optional<SearchRequest> count;

    struct ParseResult;
    static ParseResult Parse(int argc, char** argv);
    static std::string Usage();
};

struct TestnetOptions::ParseResult {
    std::optional<TestnetOptions> options;
    std::string error;
};

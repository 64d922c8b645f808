#pragma once

#include <chrono>

#include "engine/search/run_values.h"

// The run values the search tests use: a one-second time-out keeps failing hubs quick.
inline RunValues TestRunValues() {
    RunValues values;
    values.Nick = "tester";
    values.IP = "127.0.0.1";
    values.ShareSizeBytes = "5368709120";
    values.SearchTimeout = 1;
    values.SearchPrefix = "F?F?0?1?";
    values.SearchPattern = "big$buck";
    values.CurrentUdpPort = 1025;
    return values;
}

// Run values whose time-out (an hour) is longer than any test may run: an exchange that ends did so because it was
// cut short or for a reason of its own.
inline RunValues PatientValues() {
    RunValues values = TestRunValues();
    values.SearchTimeout = 3600;
    return values;
}

// Short waits for hubs that echo at once and forward at once.
inline HubExchangeTimings QuickTimings() {
    return HubExchangeTimings{std::chrono::milliseconds(300), std::chrono::milliseconds(0)};
}

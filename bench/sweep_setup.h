#pragma once

#include <sys/resource.h>

#include <cstdint>

#include "search/run_values.h"
#include "support/test_run_values.h"

// What the sweep benchmarks share: the search every hub is sent ("big buck", any type, answered to udpPort), and
// an open-file limit that lets thousands of connections and listening sockets stand at once.

inline RunValues SweepValues(int32_t udpPort) {
    RunValues values = TestRunValues();
    values.SearchTimeout = 10;
    values.CurrentUdpPort = udpPort;
    return values;
}

inline void RaiseFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
}

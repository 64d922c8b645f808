#pragma once

#include <algorithm>
#include <chrono>

// The fastest of five runs of run, in seconds: the least disturbed by whatever else the machine does.
template <typename F>
double BestSeconds(F&& run) {
    double best = 1e9;
    for (int i = 0; i < 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "engine/search/hub_outcome.h"

// The outcomes of the current run's hubs not yet handed on: workers add them as their hubs end, the GUI thread
// takes them all at once with each progress update, so that a report of thousands of hubs is fed in batches.
class HubOutcomeBatch {
public:
    // GUI thread: a new run begins; outcomes still held or still coming from earlier runs are dropped.
    void Begin(uint64_t run);
    // Worker: one hub of run number run has ended; ignored when that run is over.
    void Add(uint64_t run, HubOutcome outcome);
    // GUI thread: every outcome added since the last Take, oldest first.
    std::vector<HubOutcome> Take();

private:
    std::mutex m_lock;
    uint64_t m_run = 0;
    std::vector<HubOutcome> m_outcomes;
};

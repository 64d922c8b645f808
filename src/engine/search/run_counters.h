#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

// SearchedCount and FailedCount of the current run, shared by the run control (GUI thread) and the workers.
// Each run has a number; a hub counts only for the run it was taken in, so an exchange that outlives its run is
// never counted in the next one.
class RunCounters {
public:
    // GUI thread: zeroes the counters and returns the new run's number.
    uint64_t BeginRun();
    // GUI thread: nothing under way counts any more.
    void EndRun();
    // Worker: counts one hub of run number run; false (nothing counted) when that run is over.
    bool Count(uint64_t run, bool failed);

    int32_t Searched() const { return SearchedCount.load(); }
    int32_t Failed() const { return FailedCount.load(); }

private:
    std::mutex m_lock;
    uint64_t m_run = 0;
    std::atomic<int32_t> SearchedCount{0};
    std::atomic<int32_t> FailedCount{0};
};

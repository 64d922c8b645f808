#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

// SearchedCount and FailedCount of the current run, shared by the run control (GUI thread) and the workers, and
// the searched hubs still lingering. Each run has a number; a hub counts only for the run it was taken in, so an
// exchange that outlives its run is never counted in the next one.
class RunCounters {
public:
    // GUI thread: zeroes the counters and returns the new run's number.
    uint64_t BeginRun();
    // GUI thread: nothing under way counts any more.
    void EndRun();
    // Worker: counts one hub of run number run; false (nothing counted) when that run is over. A searched hub
    // stays lingering until LingerEnded.
    bool Count(uint64_t run, bool failed);
    // Worker: a searched hub of run number run has left; false when that run is over.
    bool LingerEnded(uint64_t run);
    // Run number run is the current one and has not ended.
    bool IsCurrent(uint64_t run) const;
    // Every one of hubs has been counted and none lingers any more: the run is over.
    bool AllDone(int32_t hubs) const;

    int32_t Searched() const { return SearchedCount.load(); }
    int32_t Failed() const { return FailedCount.load(); }

private:
    mutable std::mutex m_lock;
    uint64_t m_run = 0;
    int32_t m_lingering = 0;
    std::atomic<int32_t> SearchedCount{0};
    std::atomic<int32_t> FailedCount{0};
};

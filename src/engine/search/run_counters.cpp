#include "engine/search/run_counters.h"

uint64_t RunCounters::BeginRun() {
    std::lock_guard guard(m_lock);
    SearchedCount = 0;
    FailedCount = 0;
    m_lingering = 0;
    return ++m_run;
}

void RunCounters::EndRun() {
    std::lock_guard guard(m_lock);
    ++m_run;
}

bool RunCounters::Count(uint64_t run, bool failed) {
    std::lock_guard guard(m_lock);
    if (run != m_run) return false;
    ++(failed ? FailedCount : SearchedCount);
    if (!failed) ++m_lingering;
    return true;
}

bool RunCounters::LingerEnded(uint64_t run) {
    std::lock_guard guard(m_lock);
    if (run != m_run) return false;
    --m_lingering;
    return true;
}

bool RunCounters::IsCurrent(uint64_t run) const {
    std::lock_guard guard(m_lock);
    return run == m_run;
}

bool RunCounters::AllDone(int32_t hubs) const {
    std::lock_guard guard(m_lock);
    return SearchedCount + FailedCount == hubs && m_lingering == 0;
}

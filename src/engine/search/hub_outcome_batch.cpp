#include "engine/search/hub_outcome_batch.h"

#include <utility>

void HubOutcomeBatch::Begin(uint64_t run) {
    std::lock_guard guard(m_lock);
    m_run = run;
    m_outcomes.clear();
}

void HubOutcomeBatch::Add(uint64_t run, HubOutcome outcome) {
    std::lock_guard guard(m_lock);
    if (run == m_run) m_outcomes.push_back(std::move(outcome));
}

std::vector<HubOutcome> HubOutcomeBatch::Take() {
    std::lock_guard guard(m_lock);
    return std::exchange(m_outcomes, {});
}

#include "engine/results/result_batch.h"

SearchResult& ResultBatch::Slot() {
    if (m_count == m_results.size()) m_results.emplace_back();
    return m_results[m_count];
}

void ResultBatch::Add(const SearchResult& result) {
    Slot() = result;
    Keep();
}

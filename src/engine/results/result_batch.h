#pragma once

#include <cstddef>
#include <span>
#include <utility>
#include <vector>

#include "engine/results/search_result.h"

// Results decoded on one thread and taken whole by another. Clearing keeps every result's storage, so a steady stream
// of batches decodes into texts already allocated. One thread at a time: the hand-over orders the access.
class ResultBatch {
public:
    // Where the next result is decoded; it holds whatever an earlier result left there.
    SearchResult& Slot();
    // The slot's result belongs to the batch now.
    void Keep() { ++m_count; }
    void Add(const SearchResult& result);
    // Keeps only the results keep(result) holds for, in their order.
    template <typename Predicate>
    void KeepOnly(Predicate keep);
    void Clear() { m_count = 0; }
    std::span<const SearchResult> Results() const { return {m_results.data(), m_count}; }

private:
    std::vector<SearchResult> m_results;  // the first m_count are the batch's
    std::size_t m_count = 0;
};

template <typename Predicate>
void ResultBatch::KeepOnly(Predicate keep) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_count; ++i) {
        if (!keep(m_results[i])) continue;
        // Swapping moves no text: the dropped result's storage stays for reuse.
        if (kept != i) std::swap(m_results[kept], m_results[i]);
        ++kept;
    }
    m_count = kept;
}

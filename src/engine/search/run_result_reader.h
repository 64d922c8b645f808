#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "engine/results/result_batch.h"
#include "engine/results/result_quota.h"
#include "engine/results/search_result.h"

class HubAddressBook;
struct AdcRun;

// What a run's results pass before they reach the GUI thread: the decoders ($SR with each hub's encoding, URES with
// the run's ADC registry), the live filter and the per-user quota. The listener's receiving thread reads datagrams
// while the GUI thread reads what hubs relay: every method but BeginRun may run on any thread, at once.
class RunResultReader {
public:
    // A new run: forgets every user's count. Call it while nothing is being read (the listener inactive). sizeLow and
    // sizeHigh: the run's size limits (ResultFilter); hubs must outlive the reading; adcRun null without ADC.
    void BeginRun(int64_t sizeLow, int64_t sizeHigh, int32_t perUserLimit, const HubAddressBook* hubs,
                  std::shared_ptr<const AdcRun> adcRun);
    // The live filter's choices, followed from the next datagram on.
    void SetLiveFilter(bool atMostShown, bool onlyFreeSlots);

    // Fills batch with the results of datagrams that pass the filter and the quota; returns how many the quota
    // dropped.
    int32_t Read(const std::vector<std::string_view>& datagrams, ResultBatch& batch);
    // The same for results the hubs relayed decoded and filtered already.
    int32_t Admit(const std::vector<SearchResult>& results, ResultBatch& batch);

private:
    // Keeps the batch's results that the quota admits; returns how many it dropped.
    int32_t ApplyQuota(ResultBatch& batch);

    int64_t m_sizeLow = -1;
    int64_t m_sizeHigh = -1;
    std::atomic<bool> m_atMostShown{false};
    std::atomic<bool> m_onlyFreeSlots{false};
    const HubAddressBook* m_hubs = nullptr;
    std::shared_ptr<const AdcRun> m_adcRun;
    int32_t m_perUserLimit = 0;
    std::mutex m_quotaLock;
    ResultQuota m_quota;
};

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/net/lingering_connections.h"
#include "engine/net/network_loop.h"
#include "engine/search/hub_connector.h"
#include "engine/search/hub_queue.h"
#include "engine/search/hub_seen_address.h"
#include "engine/search/hub_worker.h"
#include "engine/search/run_counters.h"
#include "engine/search/run_values.h"
#include "engine/settings/app_settings.h"
#include "engine/sys/gui_thread.h"

// The pool of connection workers and the control of search runs. Every method runs on the GUI thread and returns
// without waiting for a worker that might wait for the GUI thread.
class SearchRunner {
public:
    static constexpr int32_t MaxThreads = kMaxThreads;

    // updateRunProgress runs on the GUI thread (through gui) after each counted hub.
    SearchRunner(GuiThread& gui, std::function<void()> updateRunProgress, HubExchangeTimings timings = {});
    // Shutdown().
    ~SearchRunner();
    SearchRunner(const SearchRunner&) = delete;
    SearchRunner& operator=(const SearchRunner&) = delete;

    // Brings the pool to threads workers (1 to MaxThreads). Surplus workers are terminated and woken; they end by
    // themselves and are joined once they have.
    void ResizePool(int32_t threads);
    // Starts a run over queue with a copy of values: every worker is deactivated first, so nothing of an earlier
    // run is counted, then the queue is rewound, the counters zeroed and every worker woken. The queue must stay
    // alive until Stop, the next Start or Shutdown.
    void Start(HubQueue& queue, const RunValues& values);
    // Hubs were added to the running run's queue: workers that found it empty take them.
    void WakeWorkers();
    // Deactivates every worker and cuts their exchanges short, and leaves the lingering hubs; nothing more is
    // counted and, once it returns, no worker uses the queue any more.
    void Stop();
    // Ends every worker within moments, wherever it is. Call it after the GuiThread has been closed, so that no
    // worker can be waiting for the GUI thread.
    void Shutdown();

    // Passive runs hand the $SR lines hubs relay to handler (see WorkerContext). Set it before the first run.
    void SetRelayedResultHandler(std::function<void(const std::vector<std::string_view>&)> handler) {
        m_context.handOverRelayedResults = std::move(handler);
    }

    // Results ADC hubs relay go to handler (see WorkerContext). Set it before the first run.
    void SetAdcResultHandler(std::function<void(const std::vector<SearchResult>&)> handler) {
        m_context.handOverAdcResults = std::move(handler);
    }

    int32_t SearchedCount() const { return m_counters.Searched(); }
    int32_t FailedCount() const { return m_counters.Failed(); }
    // The run is over: every hub has been counted and the last linger has ended.
    bool IsComplete(int32_t queueCount) const { return m_counters.AllDone(queueCount); }
    std::size_t PoolSize() const { return WorkerPool.size(); }
    // The hubs this runner's workers reached, by address: for reading their answers. Any thread.
    const HubAddressBook& HubAddresses() const { return m_hubAddresses; }
    // The address hubs last reported for us ($UserIP), kept from run to run; empty until one has. Any thread.
    std::string AddressHubsSee() const { return m_hubSeenAddress.Latest(); }
    // The outcomes of the current run's hubs counted since the last call: call it from updateRunProgress.
    std::vector<HubOutcome> TakeOutcomes() { return m_context.outcomes.Take(); }

private:
    void ReapRetired();

    RunCounters m_counters;
    HubAddressBook m_hubAddresses;
    HubSeenAddress m_hubSeenAddress;
    WorkerContext m_context;
    // Between the context its tasks use and the workers that hand it connections: it outlives the workers and ends
    // before the context.
    NetworkLoop m_network;
    LingeringConnections m_lingering{m_network};
    // Uses the loop and the context, and outlives the workers that take hubs from it.
    HubConnector m_connector{m_network, m_context};
    std::vector<std::unique_ptr<HubWorker>> WorkerPool;
    // Terminated workers that may still be on a hub or waiting for the GUI thread.
    std::vector<std::unique_ptr<HubWorker>> m_retiring;
};

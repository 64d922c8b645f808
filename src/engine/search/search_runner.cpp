#include "engine/search/search_runner.h"

#include <algorithm>

#include "engine/sys/open_file_limit.h"

SearchRunner::SearchRunner(GuiThread& gui, std::function<void()> updateRunProgress, HubExchangeTimings timings)
    : m_context{gui, m_counters, std::move(updateRunProgress), timings} {
    m_context.hubAddresses = &m_hubAddresses;
    m_context.hubSeenAddress = &m_hubSeenAddress;
    m_context.lingering = &m_lingering;
    m_context.connector = &m_connector;
    RaiseOpenFileLimit();
}

SearchRunner::~SearchRunner() {
    Shutdown();
}

void SearchRunner::ResizePool(int32_t threads) {
    ReapRetired();
    const auto wanted = static_cast<std::size_t>(std::clamp(threads, int32_t{1}, MaxThreads));
    while (WorkerPool.size() < wanted) WorkerPool.push_back(std::make_unique<HubWorker>(m_context));
    while (WorkerPool.size() > wanted) {
        WorkerPool.back()->Terminate();
        m_retiring.push_back(std::move(WorkerPool.back()));
        WorkerPool.pop_back();
    }
}

void SearchRunner::Start(HubQueue& queue, const RunValues& values) {
    Stop();
    queue.Rewind();
    const uint64_t run = m_counters.BeginRun();
    m_context.outcomes.Begin(run);
    auto shared = std::make_shared<const RunValues>(values);
    m_connector.Start(queue, shared, run, WorkerPool.size());
    for (auto& worker : WorkerPool) {
        worker->Activate(run);
        worker->Wake();
    }
}

void SearchRunner::WakeWorkers() {
    m_connector.Refill();
    for (auto& worker : WorkerPool) worker->Wake();
}

void SearchRunner::Stop() {
    ReapRetired();
    for (auto& worker : WorkerPool) worker->Deactivate();
    m_connector.Stop();
    m_counters.EndRun();
    m_lingering.DropAll();
}

void SearchRunner::Shutdown() {
    m_counters.EndRun();
    m_connector.Stop();
    for (auto& worker : WorkerPool) worker->Terminate();
    // Destruction joins; every worker has been cut short, and none can wait for the closed GUI thread.
    WorkerPool.clear();
    m_retiring.clear();
    // The lingering hubs' and the connector's tasks use the context: the loop ends before it goes. A task waiting for
    // the closed GUI thread has been released.
    m_network.Stop();
}

void SearchRunner::ReapRetired() {
    std::erase_if(m_retiring, [](const auto& worker) { return worker->Finished(); });
}

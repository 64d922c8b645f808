#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include "engine/search/hub_queue.h"
#include "engine/search/run_values.h"
#include "engine/search/search_runner.h"
#include "engine/sys/open_file_limit.h"
#include "support/test_run_values.h"

// What the sweep benchmarks share: the search every hub is sent ("big buck", any type, answered to udpPort) and the
// end of a run. The open-file limit is raised to let thousands of connections and listening sockets stand at once.

inline RunValues SweepValues(int32_t udpPort) {
    RunValues values = TestRunValues();
    values.SearchTimeout = 10;
    values.CurrentUdpPort = udpPort;
    return values;
}

// Tells when a sweep's run has counted every hub of its queue. Update() is the run's progress update (it runs on the
// fake GUI thread); Watch names the runner, which is made with that update, before the run starts.
class SweepCompletion {
public:
    explicit SweepCompletion(const HubQueue& queue) : m_queue(queue) {}

    std::function<void()> Update() {
        return [this] {
            const SearchRunner* runner = m_runner;
            if (runner == nullptr || !runner->IsComplete(m_queue.Count())) return;
            std::lock_guard lock(m_mutex);
            m_complete = true;
            m_changed.notify_all();
        };
    }
    void Watch(const SearchRunner& runner) { m_runner = &runner; }
    // False when the deadline passed first.
    bool Wait(std::chrono::milliseconds deadline) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, deadline, [this] { return m_complete; });
    }

private:
    const HubQueue& m_queue;
    std::atomic<const SearchRunner*> m_runner{nullptr};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_complete = false;
};

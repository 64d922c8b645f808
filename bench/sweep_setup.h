#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "engine/hublist/hublist_loader.h"
#include "engine/hublist/hublist_refresh_thread.h"
#include "engine/search/hub_queue.h"
#include "engine/search/run_values.h"
#include "engine/search/search_runner.h"
#include "engine/sys/open_file_limit.h"
#include "support/fake_gui_thread.h"
#include "support/temp_dir.h"
#include "support/test_run_values.h"

// What the sweep benchmarks share: the search every hub is sent ("big buck", any type, answered to udpPort), the hub
// list loaded as the program loads it, and the end of a run. The open-file limit is raised to let thousands of
// connections and listening sockets stand at once.

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

struct Sweep {
    double seconds;
    int searched;
};

// One run of the run control over queue with its GUI hand-over after every hub, until every hub has been counted.
inline Sweep RunnerSweep(HubQueue& queue, const RunValues& values, int workers, const HubExchangeTimings& timings) {
    FakeGuiThread gui;
    SweepCompletion completion(queue);
    SearchRunner runner(gui, completion.Update(), timings);
    completion.Watch(runner);
    runner.ResizePool(workers);
    const auto started = std::chrono::steady_clock::now();
    runner.Start(queue, values);
    completion.Wait(std::chrono::seconds(600));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    gui.Close();
    const int searched = runner.SearchedCount();
    runner.Shutdown();
    return {seconds, searched};
}

// The machine is shared: sweeps are repeated and their median reported.
inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Downloads the network's list with the refresh thread into a scratch data folder and loads it as the program
// does after a refresh. False when the refresh failed or did not end within the deadline.
inline bool LoadNetworkList(const std::string& url, HubQueue& queue, double& seconds) {
    FakeGuiThread gui;
    TempDir dataDir;
    std::mutex mutex;
    std::condition_variable changed;
    bool completed = false;
    bool loaded = false;
    HublistRefreshSteps steps;
    steps.Completed = [&](const HublistRefreshResult& result) {
        const HubListLoad load = result.outcome != HublistRefreshResult::Outcome::Replaced
                                     ? HubListLoad{}
                                     : LoadHubList(HubListPath(dataDir.Path()), queue);
        std::lock_guard lock(mutex);
        loaded = load.read && !load.failed;
        completed = true;
        changed.notify_all();
    };
    const auto started = std::chrono::steady_clock::now();
    HublistRefreshThread refresh(gui, url, dataDir.Path(), steps,
                                 HttpLimits{512, std::chrono::seconds(10), std::chrono::milliseconds(10000)});
    {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(30), [&] { return completed; });
    }
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    gui.Close();
    std::lock_guard lock(mutex);
    return loaded;
}

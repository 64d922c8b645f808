#pragma once

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "event_loop.h"
#include "network_plan.h"
#include "search_matcher.h"
#include "search_request.h"
#include "sweep_setup.h"
#include "test_network.h"

// The simulated network with its event loop on a thread of its own; the loop is stopped and joined before the
// network goes, as the network requires.
class RunningTestnet {
public:
    RunningTestnet(const PlanOptions& options, std::chrono::milliseconds latency = std::chrono::milliseconds(0))
        : m_plan(NetworkPlan::Build(options)) {
        NetworkSettings settings;
        settings.latency = latency;
        auto started = TestNetwork::Start(m_loop, m_plan, settings);
        m_error = started.error;
        m_network = std::move(started.network);
        if (m_network) m_thread = std::thread([this] { m_loop.Run(); });
    }
    ~RunningTestnet() {
        m_loop.Stop();
        if (m_thread.joinable()) m_thread.join();
        m_network.reset();
    }
    RunningTestnet(const RunningTestnet&) = delete;
    RunningTestnet& operator=(const RunningTestnet&) = delete;

    const std::string& Error() const { return m_error; }
    const NetworkPlan& Plan() const { return m_plan; }
    const TestNetwork* Network() const { return m_network.get(); }
    int ForwardingHubs() const {
        return static_cast<int>(std::count_if(m_plan.Hubs().begin(), m_plan.Hubs().end(), [](const HubPlan& hub) {
            return NetworkPlan::ForwardsSearches(hub.kind);
        }));
    }
    std::size_t ExpectedResults(bool passive) const {
        SearchRequest request = Request();
        if (passive) request.address = "Hub:tester";
        return m_plan.CountResults(request);
    }
    // The part of ExpectedResults from hubs that pass searches on in batches and drop those of users who left.
    std::size_t BatchedResults() const {
        const auto matchers = SearchMatcher::ForEveryCharset(Request());
        std::size_t count = 0;
        for (const HubPlan& hub : m_plan.Hubs()) {
            if (hub.kind != HubKind::StrictKey) continue;
            for (const std::size_t user : hub.users) {
                const SimulatedUser& simulated = m_plan.Users()[user];
                const SearchMatcher& matcher = matchers[static_cast<std::size_t>(simulated.Style().charset)];
                count += simulated.Answer(matcher, m_plan.Catalog(), hub.name, "127.0.0.1:0", 0).size();
            }
        }
        return count;
    }

private:
    static SearchRequest Request() {
        const RunValues values = SweepValues(1);
        return *SearchRequest::Parse("$Search 127.0.0.1:1 " + values.SearchPrefix + values.SearchPattern);
    }

    EventLoop m_loop;
    NetworkPlan m_plan;
    std::string m_error;
    std::unique_ptr<TestNetwork> m_network;
    std::thread m_thread;
};

#include "engine/search/hub_worker.h"

#include "engine/search/hub_connector.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "support/fake_gui_thread.h"
#include "support/fake_hub.h"
#include "support/log_recorder.h"
#include "support/test_run_values.h"

namespace {

using namespace std::chrono_literals;

// What one progress update saw on the GUI side.
struct Update {
    int32_t searched;
    bool runOver;
};

// The linger holds the connection, not the worker: one worker searches both hubs while the first still lingers.
TEST(HubWorker, CountsEachHubWhenItsSearchIsWrittenAndEndsTheRunWhenTheLastLingerEnds) {
    FakeHubServer hubs;
    const int first = hubs.AddHub(FakeHubBehaviour{});
    const int second = hubs.AddHub(FakeHubBehaviour{});
    HubQueue queue;
    queue.AddHub("127.0.0.1", hubs.Port(first));
    queue.AddHub("127.0.0.1", hubs.Port(second));
    FakeGuiThread gui;
    RunCounters counters;
    std::mutex lock;
    std::vector<Update> updates;
    // The linger is an hour: only the hub closing the connection ends it.
    WorkerContext context{gui, counters, {}, HubExchangeTimings(0ms, std::chrono::hours(1))};
    NetworkLoop loop;
    LingeringConnections lingering(loop);
    context.lingering = &lingering;
    HubConnector connector(loop, context);
    context.connector = &connector;
    context.updateRunProgress = [&] {
        std::lock_guard guard(lock);
        updates.push_back({counters.Searched(), counters.AllDone(queue.Count())});
    };
    const auto seen = [&] {
        std::lock_guard guard(lock);
        return updates;
    };
    LogRecorder log;
    HubWorker worker(context);
    const auto values = std::make_shared<const RunValues>(TestRunValues());
    const uint64_t run = counters.BeginRun();
    connector.Start(queue, values, run, 1);
    worker.Activate(run);
    worker.Wake();

    ASSERT_TRUE(hubs.WaitUntil([&] { return !seen().empty() && seen().back().searched == 2; }, 10s));
    EXPECT_FALSE(seen().back().runOver);
    EXPECT_EQ(hubs.OpenConnections(first), 1);
    EXPECT_EQ(hubs.OpenConnections(second), 1);
    EXPECT_EQ(log.Matching({"info: hub 127.0.0.1:", " searched after "}).size(), 2u);

    hubs.CloseConnections(first);
    ASSERT_TRUE(hubs.WaitUntil([&] { return lingering.Count() == 1; }, 10s));
    EXPECT_FALSE(counters.AllDone(2));
    hubs.CloseConnections(second);
    ASSERT_TRUE(hubs.WaitUntil([&] { return seen().back().runOver; }, 10s));
    EXPECT_TRUE(counters.AllDone(2));
}

// A passive run's relayed $SR lines reach the GUI thread before the run is over; other lines do not.
TEST(HubWorker, PassiveRunHandsRelayedResultsToTheGuiThread) {
    FakeHubBehaviour relaying;
    relaying.passiveAnswers = {"$SR alice a.avi", "<Bot> hello", "$SR bob b.avi"};
    FakeHubServer hubs;
    const int hub = hubs.AddHub(relaying);
    HubQueue queue;
    queue.AddHub("127.0.0.1", hubs.Port(hub));
    FakeGuiThread gui;
    RunCounters counters;
    std::mutex lock;
    std::vector<std::string> relayed;
    bool overWithAll = false;
    // The linger is an hour: only the passive window, shortened here, ends the stay.
    WorkerContext context{gui, counters, {}, HubExchangeTimings(0ms, std::chrono::hours(1))};
    NetworkLoop loop;
    LingeringConnections lingering(loop);
    context.lingering = &lingering;
    HubConnector connector(loop, context);
    context.connector = &connector;
    context.timings.PassiveWindow = 500ms;
    context.updateRunProgress = [&] {
        std::lock_guard guard(lock);
        if (counters.AllDone(queue.Count())) overWithAll = relayed.size() == 2;
    };
    context.handOverRelayedResults = [&](const std::vector<std::string_view>& lines) {
        std::lock_guard guard(lock);
        relayed.insert(relayed.end(), lines.begin(), lines.end());
    };
    HubWorker worker(context);
    RunValues passive = TestRunValues();
    passive.Passive = true;
    const auto values = std::make_shared<const RunValues>(passive);
    const uint64_t run = counters.BeginRun();
    connector.Start(queue, values, run, 1);
    worker.Activate(run);
    worker.Wake();
    ASSERT_TRUE(hubs.WaitUntil(
        [&] {
            std::lock_guard guard(lock);
            return overWithAll;
        },
        10s));
    std::lock_guard guard(lock);
    EXPECT_EQ(relayed, (std::vector<std::string>{"$SR alice a.avi", "$SR bob b.avi"}));
}

}  // namespace

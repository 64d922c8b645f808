#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "engine/search/hub_queue.h"

namespace {

std::vector<std::pair<std::string, int32_t>> Drain(HubQueue& queue) {
    std::vector<std::pair<std::string, int32_t>> out;
    while (const HubEntry* hub = queue.NextHub()) out.emplace_back(hub->Host, hub->Port);
    return out;
}

TEST(HubQueue, HandsOutInInsertionOrderAgainAfterRewind) {
    HubQueue queue;
    EXPECT_EQ(queue.NextHub(), nullptr);
    queue.AddHub("a", 1);
    queue.AddHub("b", 2);
    queue.AddHub("a", 1);
    const std::vector<std::pair<std::string, int32_t>> expected = {{"a", 1}, {"b", 2}, {"a", 1}};
    EXPECT_EQ(Drain(queue), expected);
    EXPECT_EQ(queue.Remaining(), 0);
    EXPECT_EQ(queue.Count(), 3);
    queue.Rewind();
    EXPECT_EQ(queue.Remaining(), 3);
    EXPECT_EQ(Drain(queue), expected);
}

TEST(HubQueue, EveryEntryGoesToExactlyOneOfManyWorkers) {
    constexpr int kHubs = 20000;
    constexpr int kWorkers = 8;
    HubQueue queue;
    for (int i = 0; i < kHubs; ++i) queue.AddHub("h" + std::to_string(i), i);
    for (int run = 0; run < 2; ++run) {
        queue.Rewind();
        std::vector<std::vector<const HubEntry*>> taken(kWorkers);
        std::vector<std::thread> workers;
        workers.reserve(kWorkers);
        for (int w = 0; w < kWorkers; ++w)
            workers.emplace_back([&queue, &mine = taken[static_cast<std::size_t>(w)]] {
                while (const HubEntry* hub = queue.NextHub()) mine.push_back(hub);
            });
        for (auto& worker : workers) worker.join();
        std::set<int32_t> ports;
        std::size_t total = 0;
        for (const auto& mine : taken) {
            total += mine.size();
            for (const HubEntry* hub : mine) ports.insert(hub->Port);
        }
        EXPECT_EQ(total, static_cast<std::size_t>(kHubs));
        EXPECT_EQ(ports.size(), static_cast<std::size_t>(kHubs));
        EXPECT_EQ(queue.Remaining(), 0);
    }
}

// The sanitizer build reports any entry that destruction does not free.
TEST(HubQueue, DestroyedPartWayThroughARun) {
    auto queue = std::make_unique<HubQueue>();
    for (int i = 0; i < 5; ++i) queue->AddHub(std::string(40, 'x') + std::to_string(i), 411);
    queue->NextHub();
    queue->NextHub();
    EXPECT_EQ(queue->Remaining(), 3);
    queue.reset();
}

}  // namespace

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

// A redirect target joins the run even after the listed hubs were all handed out, once; a listed hub or one added
// already is no target, nor does a target's own redirect add one. The next run has the listed hubs only.
TEST(HubQueue, RedirectTargetsJoinTheRunOnce) {
    HubQueue queue;
    queue.AddHub("a", 1, "CP1251");
    queue.AddHub("b", 2);
    const HubEntry* a = queue.NextHub();
    ASSERT_NE(queue.NextHub(), nullptr);
    EXPECT_EQ(queue.FindListed("a", 1), a);
    EXPECT_FALSE(queue.AddRedirectTarget(*a, "b", 2)) << "listed";
    ASSERT_TRUE(queue.AddRedirectTarget(*a, "new", 3));
    EXPECT_FALSE(queue.AddRedirectTarget(*queue.FindListed("b", 2), "new", 3)) << "added already";
    EXPECT_EQ(queue.Count(), 3);
    const HubEntry* target = queue.NextHub();
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->Host, "new");
    EXPECT_EQ(target->RedirectedFrom, "a:1");
    EXPECT_EQ(target->Encoding, a->Encoding);
    EXPECT_EQ(queue.FindListed("new", 3), nullptr);
    EXPECT_FALSE(queue.AddRedirectTarget(*target, "further", 4)) << "a chain ends at its first step";

    queue.Rewind();
    const std::vector<std::pair<std::string, int32_t>> listed = {{"a", 1}, {"b", 2}};
    EXPECT_EQ(queue.Count(), 2);
    EXPECT_EQ(Drain(queue), listed);
    queue.Rewind();
    ASSERT_TRUE(queue.AddRedirectTarget(*queue.FindListed("b", 2), "new", 3)) << "a new run may follow it again";
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

#include "engine/search/udp_port.h"

#include <gtest/gtest.h>

#include <set>

#include "support/fake_gui_thread.h"

namespace {

TEST(NextUdpPort, StepsThroughTheRangeAndWraps) {
    const struct {
        int32_t current, next;
    } cases[] = {{-1, 1025}, {1025, 1026}, {1026, 1027}, {1027, 1025}, {2000, 1025}, {1000, 1025}};
    for (const auto& c : cases) EXPECT_EQ(NextUdpPort(c.current, 1025, 1027), c.next) << c.current;
    EXPECT_EQ(NextUdpPort(1025, 1025, 1025), 1025);
}

// Ports in busy cannot be bound; every try is recorded.
struct FakeBinder {
    std::optional<int32_t> operator()(int32_t port) {
        tried.push_back(port);
        if (busy.contains(port)) return std::nullopt;
        return port == 0 ? 40000 : port;
    }
    std::set<int32_t> busy;
    std::vector<int32_t> tried;
};

TEST(BindRunPort, TriesUpwardsWithinTheRangeAndLeavesThePortAtTheLastTry) {
    const struct {
        const char* what;
        std::set<int32_t> busy;
        int32_t chosen;
        bool bound;
        int32_t port;
        std::vector<int32_t> tried;
    } cases[] = {
        {"free", {}, 1025, true, 1025, {1025}},
        {"busy port skipped", {1026}, 1026, true, 1027, {1026, 1027}},
        {"busy last port fails", {1027}, 1027, false, 1027, {1027}},
        {"every port busy", {1025, 1026, 1027}, 1025, false, 1027, {1025, 1026, 1027}},
        {"outside the range tried alone", {1030}, 1030, false, 1030, {1030}},
        {"never past 65535", {65535}, 65535, false, 65535, {65535}},
        {"0 takes the system's choice", {}, 0, true, 40000, {0}},
    };
    for (const auto& c : cases) {
        FakeBinder binder{c.busy, {}};
        int32_t port = c.chosen;
        const int32_t maxPort = c.chosen == 65535 ? 70000 : 1027;
        EXPECT_EQ(BindRunPort(std::ref(binder), port, c.chosen == 0 ? 0 : 1025, maxPort), c.bound) << c.what;
        EXPECT_EQ(port, c.port) << c.what;
        EXPECT_EQ(binder.tried, c.tried) << c.what;
    }
}

TEST(BindRunPort, ActivatesTheListenerAndReportsItsPort) {
    FakeGuiThread gui;
    UdpListener listener{gui, [](const std::vector<std::string_view>&) {}};
    int32_t port = 0;
    ASSERT_TRUE(BindRunPort(listener, "127.0.0.1", port, 0, 0));
    EXPECT_TRUE(listener.Active());
    EXPECT_GT(port, 0);
    EXPECT_EQ(port, listener.BoundPort());
    port = 0;
    EXPECT_FALSE(BindRunPort(listener, "192.0.2.1", port, 0, 0)) << "an address of another machine";
    EXPECT_FALSE(listener.Active());
}

// A typed address of the router in front of this machine (one it does not have) binds on all interfaces, so the
// run starts instead of failing; an own address still binds only its interface.
TEST(BindRunPort, ForeignAdvertisedAddressBindsAllInterfaces) {
    EXPECT_EQ(RunListenerAddress("127.0.0.1"), "127.0.0.1");
    EXPECT_EQ(RunListenerAddress("203.0.113.7"), "0.0.0.0");
    FakeGuiThread gui;
    UdpListener listener{gui, [](const std::vector<std::string_view>&) {}};
    int32_t port = 0;
    EXPECT_TRUE(BindRunPort(listener, RunListenerAddress("203.0.113.7"), port, 0, 0));
    EXPECT_TRUE(listener.Active());
}

}  // namespace

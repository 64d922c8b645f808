#include <gtest/gtest.h>

#include "engine/search/udp_port.h"
#include "support/fake_gui_thread.h"
#include "support/udp_test_sockets.h"

namespace {

TEST(NextUdpPort, StepsThroughTheRangeAndWraps) {
    const struct {
        int32_t current, next;
    } cases[] = {{-1, 1025}, {1025, 1026}, {1026, 1027}, {1027, 1025}, {2000, 1025}, {1000, 1025}};
    for (const auto& c : cases) EXPECT_EQ(NextUdpPort(c.current, 1025, 1027), c.next) << c.current;
    EXPECT_EQ(NextUdpPort(1025, 1025, 1025), 1025);
}

class BindRunPortTest : public testing::Test {
protected:
    void SetUp() override {
        low = FreeUdpPorts(3);
        ASSERT_GT(low, 0);
        high = low + 2;
    }

    FakeGuiThread gui;
    UdpListener listener{gui, [](const std::vector<std::string_view>&) {}};
    int32_t low = -1;
    int32_t high = -1;
};

TEST_F(BindRunPortTest, SuccessiveRunsUseTheNextPortAndWrap) {
    int32_t current = -1;
    for (const int32_t expected : {low, low + 1, low + 2, low}) {
        current = NextUdpPort(current, low, high);
        ASSERT_TRUE(BindRunPort(listener, "127.0.0.1", current, low, high));
        ASSERT_EQ(current, expected);
    }
}

TEST_F(BindRunPortTest, BusyPortIsSkippedAndBusyLastPortFails) {
    UdpTestSocket busy;
    ASSERT_TRUE(busy.Bind(low + 1));
    int32_t port = low + 1;
    EXPECT_TRUE(BindRunPort(listener, "127.0.0.1", port, low, high));
    EXPECT_EQ(port, low + 2);
    EXPECT_EQ(NextUdpPort(port, low, high), low);
    listener.Deactivate();
    UdpTestSocket lastBusy;
    ASSERT_TRUE(lastBusy.Bind(high));
    port = high;
    EXPECT_FALSE(BindRunPort(listener, "127.0.0.1", port, low, high));
    EXPECT_FALSE(listener.Active());
    // An address of another machine fails every port, and the next run starts over at the lowest.
    port = low;
    EXPECT_FALSE(BindRunPort(listener, "192.0.2.1", port, low, high));
    EXPECT_EQ(port, high);
    EXPECT_EQ(NextUdpPort(port, low, high), low);
}

// A typed address of the router in front of this machine (one it does not have) binds on all interfaces, so the
// run starts instead of failing; an own address still binds only its interface.
TEST_F(BindRunPortTest, ForeignAdvertisedAddressBindsAllInterfaces) {
    EXPECT_EQ(RunListenerAddress("127.0.0.1"), "127.0.0.1");
    EXPECT_EQ(RunListenerAddress("203.0.113.7"), "0.0.0.0");
    int32_t port = low;
    EXPECT_TRUE(BindRunPort(listener, RunListenerAddress("203.0.113.7"), port, low, high));
    EXPECT_TRUE(listener.Active());
}

}  // namespace

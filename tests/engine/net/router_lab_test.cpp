#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <iostream>
#include <memory>
#include <string>

#include "engine/net/port_mapper.h"
#include "support/router_lab.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Side = RouterLab::Side;

namespace {

enum class Delivery { Arrived, Refused, NothingCame };

std::ostream& operator<<(std::ostream& out, Delivery delivery) {
    return out << (delivery == Delivery::Arrived   ? "arrived"
                   : delivery == Delivery::Refused ? "refused by the router"
                                                   : "nothing came");
}

// Sends one datagram to the router's outside address and port from a fresh port on the internet side (an earlier
// exchange would have left a connection entry that lets a peer through after the mapping is gone) and waits for it
// at home, or for the router's refusal (an ICMP port unreachable for a port it does not forward).
Delivery SendFromInternet(const RouterLab& lab, int home, uint16_t port) {
    static int serial = 0;
    const std::string payload = "probe " + std::to_string(++serial);
    const int sender = lab.UdpSocket(Side::Internet, RouterLab::InternetAddress, 0);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    inet_pton(AF_INET, RouterLab::RouterOutsideAddress, &target.sin_addr);
    if (sender < 0 || connect(sender, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0 ||
        send(sender, payload.data(), payload.size(), 0) != static_cast<ssize_t>(payload.size())) {
        ADD_FAILURE() << "cannot send from the internet side";
        if (sender >= 0) close(sender);
        return Delivery::NothingCame;
    }
    Delivery delivery = Delivery::NothingCame;
    const auto deadline = Clock::now() + 3s;
    while (delivery == Delivery::NothingCame && Clock::now() < deadline) {
        pollfd fds[2] = {{home, POLLIN, 0}, {sender, POLLIN, 0}};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (poll(fds, 2, static_cast<int>(std::max<long>(left.count(), 0))) <= 0) continue;
        char buffer[64];
        if ((fds[0].revents & POLLIN) != 0) {
            const ssize_t size = recv(home, buffer, sizeof buffer, 0);
            if (size > 0 && std::string(buffer, static_cast<std::size_t>(size)) == payload)
                delivery = Delivery::Arrived;
        }
        if (fds[1].revents != 0 && recv(sender, buffer, sizeof buffer, MSG_DONTWAIT) < 0 && errno == ECONNREFUSED)
            delivery = Delivery::Refused;
    }
    close(sender);
    std::cout << "[   LAB    ] datagram from the internet side to port " << port << ": " << delivery << "\n";
    return delivery;
}

void Report(const char* what, Clock::time_point start, const std::string& result) {
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    std::cout << "[   LAB    ] " << what << " took " << took.count() << " ms: " << result << "\n";
}

class RouterLabTest : public testing::Test {
protected:
    void SetUp() override {
        const std::string reason = RouterLab::Unavailable();
        if (!reason.empty()) GTEST_SKIP() << reason;
        lab = std::make_unique<RouterLab>();
        ASSERT_EQ(lab->Error(), "");
        home = lab->UdpSocket(Side::Home, "0.0.0.0", 0);
        sockaddr_in local{};
        socklen_t length = sizeof local;
        ASSERT_EQ(getsockname(home, reinterpret_cast<sockaddr*>(&local), &length), 0);
        port = ntohs(local.sin_port);
    }
    void TearDown() override {
        if (home >= 0) close(home);
    }

    // Maps the home port with a mapper that finds the router on its own, as the program does; the port opens to
    // the internet side and closes again.
    void MapAndRemove(RouterProtocol expected) {
        EXPECT_NE(SendFromInternet(*lab, home, port), Delivery::Arrived) << "the router forwards without a mapping";
        ASSERT_TRUE(lab->RunIn(Side::Home, [&] {
            PortMapper mapper({});
            const auto start = Clock::now();
            mapper.StartDiscovery();
            ASSERT_TRUE(mapper.WaitForDiscovery(30s));
            Report("discovery with a router", start, mapper.StatusLine());
            ASSERT_EQ(mapper.Status().Protocol, expected) << mapper.StatusLine() << "\n" << lab->RouterServiceLog();

            std::string error;
            const auto mapping = mapper.MapUdpPort(port, error);
            ASSERT_TRUE(mapping) << error << "\n" << lab->RouterServiceLog();
            EXPECT_EQ(mapping->ExternalAddress, RouterLab::RouterOutsideAddress);
            EXPECT_EQ(mapping->ExternalPort, port);
            EXPECT_EQ(mapper.StatusLine(), std::string("Router: ") + RouterProtocolName(expected) + ", external " +
                                               RouterLab::RouterOutsideAddress + ", port " + std::to_string(port) +
                                               " mapped");
            EXPECT_EQ(SendFromInternet(*lab, home, mapping->ExternalPort), Delivery::Arrived);

            mapper.RemoveMapping();
            EXPECT_FALSE(mapper.Status().Mapping) << mapper.Status().Problem;
            EXPECT_NE(SendFromInternet(*lab, home, mapping->ExternalPort), Delivery::Arrived);
        }));
    }

    std::unique_ptr<RouterLab> lab;
    int home = -1;
    uint16_t port = 0;
};

TEST_F(RouterLabTest, UpnpMappingOpensThePortAndRemovalClosesIt) {
    ASSERT_EQ(lab->StartRouterService({.upnp = true, .natPmp = false}), "");
    MapAndRemove(RouterProtocol::Upnp);
}

TEST_F(RouterLabTest, NatPmpMappingOpensThePortAndRemovalClosesIt) {
    ASSERT_EQ(lab->StartRouterService({.upnp = false, .natPmp = true}), "");
    MapAndRemove(RouterProtocol::NatPmp);
}

// Discovery ends at its own deadlines whether the router refuses the queries or ignores them.
TEST_F(RouterLabTest, WithoutMappingServiceNothingIsFoundAndNothingArrives) {
    for (const bool silent : {false, true}) {
        if (silent) {
            ASSERT_EQ(lab->SilenceRouter(), "");
        }
        EXPECT_NE(SendFromInternet(*lab, home, port), Delivery::Arrived);
        ASSERT_TRUE(lab->RunIn(Side::Home, [&] {
            PortMapper mapper({});
            const auto start = Clock::now();
            mapper.StartDiscovery();
            ASSERT_TRUE(mapper.WaitForDiscovery(30s));
            Report(silent ? "discovery, router silent" : "discovery, router refusing", start, mapper.StatusLine());
            EXPECT_FALSE(mapper.Status().Protocol);
            std::string error;
            EXPECT_FALSE(mapper.MapUdpPort(port, error));
        }));
    }
}

}  // namespace

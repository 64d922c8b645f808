#include <gtest/gtest.h>

#include <string>

#include "engine/search/connection_plan.h"

namespace {

using Mode = ConnectionMode;
using Route = ResultRoute;

const RouterMapping Upnp{RouterProtocol::Upnp, "198.51.100.4", 41000, 41000, std::chrono::hours(1)};
const RouterMapping NatPmpOtherPort{RouterProtocol::NatPmp, "100.64.3.2", 41000, 52000, std::chrono::hours(1)};

// Facts: mode, active address, public local address, mapping, address hubs see; the listener is on port 41000.
TEST(PlanConnection, ChoosesRouteAddressAndSummary) {
    const struct {
        const char* name;
        ConnectionFacts facts;
        ConnectionPlan plan;
    } cases[] = {
        {"passive stays passive",
         {Mode::Passive, "203.0.113.9", "203.0.113.7", Upnp, "", 41000},
         {Route::Passive, "", 0, "Passive: results through the hubs"}},
        {"active trusts the user even when hubs disagree",
         {Mode::Active, "203.0.113.9", "", std::nullopt, "198.51.100.1", 41000},
         {Route::Direct, "203.0.113.9", 41000, "Active: 203.0.113.9, port 41000"}},
        {"public local address goes direct before a mapping",
         {Mode::Automatic, "", "203.0.113.7", Upnp, "", 41000},
         {Route::Direct, "203.0.113.7", 41000, "Public address 203.0.113.7, port 41000: direct"}},
        {"public local address confirmed by hubs",
         {Mode::Automatic, "", "203.0.113.7", std::nullopt, "203.0.113.7", 41000},
         {Route::Direct, "203.0.113.7", 41000, "Public address 203.0.113.7, port 41000: direct"}},
        {"mapping advertises the external address and port",
         {Mode::Automatic, "", "", NatPmpOtherPort, "", 41000},
         {Route::Mapped, "100.64.3.2", 52000, "Router: NAT-PMP, external 100.64.3.2, port 52000 mapped"}},
        {"mapping with a private outside address that hubs confirm",
         {Mode::Automatic, "", "", NatPmpOtherPort, "100.64.3.2", 41000},
         {Route::Mapped, "100.64.3.2", 52000, "Router: NAT-PMP, external 100.64.3.2, port 52000 mapped"}},
        {"second NAT makes the mapping useless",
         {Mode::Automatic, "", "", Upnp, "203.0.113.50", 41000},
         {Route::Passive, "", 0, "Second NAT: hubs see 203.0.113.50, the router has 198.51.100.4: passive"}},
        {"public local address that hubs do not see falls to the mapping",
         {Mode::Automatic, "", "203.0.113.7", Upnp, "198.51.100.4", 41000},
         {Route::Mapped, "198.51.100.4", 41000, "Router: UPnP, external 198.51.100.4, port 41000 mapped"}},
        {"public local address that hubs do not see, no mapping",
         {Mode::Automatic, "", "203.0.113.7", std::nullopt, "198.51.100.1", 41000},
         {Route::Passive, "", 0, "Hubs see 198.51.100.1, not 203.0.113.7: passive"}},
        {"automatic ignores the active address",
         {Mode::Automatic, "203.0.113.9", "", std::nullopt, "", 41000},
         {Route::Passive, "", 0, "No router mapping: passive"}},
    };
    for (const auto& c : cases) {
        const ConnectionPlan plan = PlanConnection(c.facts);
        EXPECT_EQ(plan.Route, c.plan.Route) << c.name;
        EXPECT_EQ(plan.AdvertisedAddress, c.plan.AdvertisedAddress) << c.name;
        EXPECT_EQ(plan.AdvertisedPort, c.plan.AdvertisedPort) << c.name;
        EXPECT_EQ(plan.Summary, c.plan.Summary) << c.name;
    }
}

TEST(ListenerBindAddress, BindsOwnAddressElseAllInterfaces) {
    const std::vector<std::string> local = {"192.168.1.20", "203.0.113.7"};
    const struct {
        std::string advertised, bind;
    } cases[] = {
        {"203.0.113.7", "203.0.113.7"},
        {"192.168.1.20", "192.168.1.20"},
        {"198.51.100.4", "0.0.0.0"},
        {"", "0.0.0.0"},
    };
    for (const auto& c : cases) EXPECT_EQ(ListenerBindAddress(c.advertised, local), c.bind) << c.advertised;
    EXPECT_EQ(ListenerBindAddress("", {""}), "0.0.0.0");
}

// Only an address the machine holds and that is not private is reached directly.
TEST(PublicLocalAddress, OwnAndNotPrivate) {
    const std::vector<std::string> local = {"192.168.1.20", "203.0.113.7"};
    const struct {
        std::string typed, expected;
    } cases[] = {
        {"203.0.113.7", "203.0.113.7"},
        {"192.168.1.20", ""},
        {"198.51.100.4", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(PublicLocalAddress(c.typed, local), c.expected) << c.typed;
}

}  // namespace

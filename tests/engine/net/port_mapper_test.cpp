#include "engine/net/port_mapper.h"

#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "engine/net/natpmp_gateway.h"
#include "support/fake_igd.h"
#include "support/fake_natpmp_gateway.h"

using namespace std::chrono_literals;

namespace {

constexpr uint16_t Port = 41000;
// Far beyond any wait these tests expect to end on its own.
constexpr auto Patience = 30s;

// Never the real network: each protocol is pointed at its fake or switched off.
PortMapperConfig Config(const FakeIgd* igd, const FakeNatPmpGateway* natPmp) {
    PortMapperConfig config;
    config.UseUpnp = igd != nullptr;
    config.UseNatPmp = natPmp != nullptr;
    if (igd != nullptr) config.UpnpDescriptionUrl = igd->DescriptionUrl();
    if (natPmp != nullptr) config.NatPmpGateway = natPmp->Address();
    config.CallTimeout = Patience;
    return config;
}

TEST(PortMapper, MapsReportsAndRemovesByUpnp) {
    FakeIgd igd({});
    PortMapper mapper(Config(&igd, nullptr));
    EXPECT_EQ(mapper.StatusLine(), "No router looked for");
    mapper.StartDiscovery();
    ASSERT_TRUE(mapper.WaitForDiscovery(Patience));
    EXPECT_EQ(mapper.StatusLine(), "Router: UPnP, external 198.51.100.4");

    std::string error;
    const auto mapping = mapper.MapUdpPort(Port, error);
    ASSERT_TRUE(mapping) << error;
    EXPECT_EQ(mapping->Protocol, RouterProtocol::Upnp);
    EXPECT_EQ(mapping->ExternalAddress, "198.51.100.4");
    EXPECT_EQ(mapping->ExternalPort, Port);
    EXPECT_EQ(mapping->Lease, 1h);
    ASSERT_EQ(igd.Mappings().count(Port), 1u);
    EXPECT_EQ(igd.Mappings().at(Port).internalPort, Port);
    EXPECT_EQ(igd.Mappings().at(Port).internalClient, "127.0.0.1");
    EXPECT_EQ(igd.Mappings().at(Port).lease, 3600u);
    EXPECT_EQ(mapper.StatusLine(), "Router: UPnP, external 198.51.100.4, port 41000 mapped");

    mapper.RemoveMapping();
    EXPECT_TRUE(igd.Mappings().empty());
    EXPECT_FALSE(mapper.Status().Mapping);
    EXPECT_EQ(mapper.StatusLine(), "Router: UPnP, external 198.51.100.4");
}

TEST(PortMapper, MapsReportsAndRemovesByNatPmp) {
    FakeNatPmpGateway gateway({.externalAddress = "100.64.7.9"});
    PortMapper mapper(Config(nullptr, &gateway));
    std::string error;
    // Mapping before discovery has run starts it and waits for it.
    const auto mapping = mapper.MapUdpPort(Port, error);
    ASSERT_TRUE(mapping) << error;
    EXPECT_EQ(mapping->Protocol, RouterProtocol::NatPmp);
    EXPECT_EQ(mapping->ExternalAddress, "100.64.7.9");
    EXPECT_EQ(mapping->ExternalPort, Port);
    EXPECT_EQ(mapping->Lease, 1h);
    ASSERT_EQ(gateway.Mappings().count(Port), 1u);
    EXPECT_EQ(gateway.Mappings().at(Port).lifetime, 3600u);
    EXPECT_EQ(mapper.StatusLine(), "Router: NAT-PMP, external 100.64.7.9, port 41000 mapped");

    mapper.RemoveMapping();
    EXPECT_TRUE(gateway.Mappings().empty());
}

TEST(PortMapper, TakenPortGetsTheOneTheRouterOffers) {
    FakeIgd igd({.takenPorts = {Port}, .version2 = true});
    FakeNatPmpGateway gateway({.takenPorts = {Port, Port + 1}});
    for (const auto& [config, offered] :
         {std::pair{Config(&igd, nullptr), Port + 1}, {Config(nullptr, &gateway), Port + 2}}) {
        PortMapper mapper(config);
        std::string error;
        const auto mapping = mapper.MapUdpPort(Port, error);
        ASSERT_TRUE(mapping) << error;
        EXPECT_EQ(mapping->InternalPort, Port);
        EXPECT_EQ(mapping->ExternalPort, offered);
    }
    // Destruction removed both mappings.
    EXPECT_TRUE(igd.Mappings().empty());
    EXPECT_TRUE(gateway.Mappings().empty());
}

TEST(PortMapper, UpnpFirstThenNatPmpWhenUpnpRefuses) {
    FakeIgd igd({.takenPorts = {Port}});  // version 1: no other port on offer
    FakeNatPmpGateway gateway({});
    PortMapper mapper(Config(&igd, &gateway));
    mapper.StartDiscovery();
    ASSERT_TRUE(mapper.WaitForDiscovery(Patience));
    EXPECT_EQ(mapper.Status().Protocol, RouterProtocol::Upnp);
    std::string error;
    const auto mapping = mapper.MapUdpPort(Port, error);
    ASSERT_TRUE(mapping) << error;
    EXPECT_EQ(mapping->Protocol, RouterProtocol::NatPmp);
    EXPECT_TRUE(igd.Mappings().empty());
    EXPECT_EQ(gateway.Mappings().count(Port), 1u);
}

TEST(PortMapper, RefusalsAreReported) {
    FakeIgd igd({.takenPorts = {Port}});
    FakeNatPmpGateway gateway({.mappingResult = 2});
    PortMapper mapper(Config(&igd, &gateway));
    std::string error;
    EXPECT_FALSE(mapper.MapUdpPort(Port, error));
    EXPECT_EQ(error,
              "UPnP: the gateway refused: ConflictInMappingEntry; NAT-PMP: the gateway refused (mapping not allowed)");
    EXPECT_EQ(mapper.Status().Problem, error);
}

TEST(PortMapper, PermanentMappingWhenTheRouterAllowsNoLease) {
    FakeIgd igd({.permanentLeasesOnly = true});
    PortMapper mapper(Config(&igd, nullptr));
    std::string error;
    const auto mapping = mapper.MapUdpPort(Port, error);
    ASSERT_TRUE(mapping) << error;
    EXPECT_EQ(mapping->Lease, 0s);
    EXPECT_EQ(igd.Mappings().at(Port).lease, 0u);
}

TEST(PortMapper, NewPortReplacesTheOldMapping) {
    FakeNatPmpGateway gateway({});
    PortMapper mapper(Config(nullptr, &gateway));
    std::string error;
    ASSERT_TRUE(mapper.MapUdpPort(Port, error)) << error;
    ASSERT_TRUE(mapper.MapUdpPort(Port + 5, error)) << error;
    EXPECT_EQ(gateway.Mappings().size(), 1u);
    EXPECT_EQ(gateway.Mappings().count(Port + 5), 1u);
}

TEST(PortMapper, LeaseIsRenewedAtHalfItsTime) {
    FakeNatPmpGateway gateway({});
    PortMapperConfig config = Config(nullptr, &gateway);
    config.Lease = 1s;
    PortMapper mapper(config);
    std::string error;
    ASSERT_TRUE(mapper.MapUdpPort(Port, error)) << error;
    // Discovery asked for the address, the mapping took two requests; a renewal is two more.
    const int afterMapping = gateway.RequestCount();
    EXPECT_TRUE(gateway.WaitForRequests(afterMapping + 2, Patience));
    EXPECT_EQ(gateway.Mappings().at(Port).lifetime, 1u);
}

TEST(PortMapper, SilentGatewayEndsDiscoveryAtItsOwnDeadline) {
    FakeNatPmpGateway gateway({.silent = true});
    PortMapperConfig config = Config(nullptr, &gateway);
    config.NatPmpWait = 300ms;  // libnatpmp alone would keep asking for about two minutes
    PortMapper mapper(config);
    mapper.StartDiscovery();
    ASSERT_TRUE(mapper.WaitForDiscovery(Patience));
    EXPECT_FALSE(mapper.Status().Protocol);
    EXPECT_EQ(mapper.StatusLine(), "No router found (UPnP: off; NAT-PMP: no answer from the gateway 127.0.0.1)");
    std::string error;
    EXPECT_FALSE(mapper.MapUdpPort(Port, error));
    EXPECT_EQ(error, "no router found (UPnP: off; NAT-PMP: no answer from the gateway 127.0.0.1)");
}

TEST(PortMapper, MissingDescriptionIsReported) {
    HttpResponder empty(HttpReply{404, "Not Found", {}, ""});
    PortMapperConfig config;
    config.UseNatPmp = false;
    config.UpnpDescriptionUrl = empty.Url("/rootDesc.xml");
    PortMapper mapper(config);
    mapper.StartDiscovery();
    ASSERT_TRUE(mapper.WaitForDiscovery(Patience));
    EXPECT_EQ(mapper.Status().Problem,
              "UPnP: no gateway description at " + config.UpnpDescriptionUrl + "; NAT-PMP: off");
}

// A router that stops answering mid-reply holds miniupnpc for its own 5 s read time-out; neither the caller nor
// destruction waits for that.
TEST(PortMapper, HangingRouterCostsTheCallerOnlyItsTimeout) {
    FakeIgd igd({.stallMapping = true});
    PortMapperConfig config = Config(&igd, nullptr);
    config.CallTimeout = 200ms;
    const auto start = std::chrono::steady_clock::now();
    {
        PortMapper mapper(config);
        mapper.StartDiscovery();
        ASSERT_TRUE(mapper.WaitForDiscovery(Patience));
        std::string error;
        EXPECT_FALSE(mapper.MapUdpPort(Port, error));
        EXPECT_EQ(error, "the router did not answer in time");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
}

TEST(NatPmpGateway, WakeEndsAWaitAtOnce) {
    FakeNatPmpGateway gateway({.silent = true});
    const int wake = eventfd(0, EFD_CLOEXEC);
    ASSERT_GE(wake, 0);
    {
        NatPmpGateway client(wake);
        ASSERT_EQ(client.Open(gateway.Address()), "");
        const uint64_t one = 1;
        ASSERT_EQ(write(wake, &one, sizeof one), static_cast<ssize_t>(sizeof one));
        EXPECT_EQ(client.ExternalAddress(NatPmpGateway::Clock::now() + Patience).Error, "stopped");
    }
    close(wake);
}

TEST(NatPmpGateway, BadGatewayTextIsRefused) {
    NatPmpGateway client(-1);
    for (const char* text : {"gateway", "127.0.0.1:0", "127.0.0.1:70000", "127.0.0.1:x", "1.2.3"})
        EXPECT_EQ(client.Open(text), std::string("not a gateway address: ") + text);
}

}  // namespace

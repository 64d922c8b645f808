#include "engine/search/connection_plan.h"

#include <algorithm>

#include "engine/settings/ip_detection.h"

namespace {

constexpr char AllInterfaces[] = "0.0.0.0";

// A candidate address is reachable unless the hubs have told us they see another one.
bool HubsAgree(const ConnectionFacts& facts, const std::string& address) {
    return facts.HubSeenAddress.empty() || facts.HubSeenAddress == address;
}

bool IsOwn(const std::string& address, const std::vector<std::string>& localAddresses) {
    return !address.empty() && std::find(localAddresses.begin(), localAddresses.end(), address) != localAddresses.end();
}

ConnectionPlan Passive(std::string summary) {
    return {ResultRoute::Passive, "", 0, std::move(summary)};
}

}  // namespace

ConnectionPlan PlanConnection(const ConnectionFacts& facts) {
    const std::string port = std::to_string(facts.ListenPort);
    switch (facts.Mode) {
        case ConnectionMode::Passive:
            return Passive("Passive: results through the hubs");
        case ConnectionMode::Active:
            return {ResultRoute::Direct, facts.ActiveAddress, facts.ListenPort,
                    "Active: " + facts.ActiveAddress + ", port " + port};
        case ConnectionMode::Automatic:
            break;
    }
    const std::string& local = facts.PublicLocalAddress;
    if (!local.empty() && HubsAgree(facts, local))
        return {ResultRoute::Direct, local, facts.ListenPort,
                "Public address " + local + ", port " + port + ": direct"};
    if (facts.Mapping) {
        const RouterMapping& mapping = *facts.Mapping;
        if (HubsAgree(facts, mapping.ExternalAddress))
            return {ResultRoute::Mapped, mapping.ExternalAddress, mapping.ExternalPort,
                    RouterLine(mapping.Protocol, mapping.ExternalAddress, mapping.ExternalPort)};
        return Passive("Second NAT: hubs see " + facts.HubSeenAddress + ", the router has " + mapping.ExternalAddress +
                       ": passive");
    }
    if (!local.empty()) return Passive("Hubs see " + facts.HubSeenAddress + ", not " + local + ": passive");
    return Passive("No router mapping: passive");
}

std::string PublicLocalAddress(const std::string& address, const std::vector<std::string>& localAddresses) {
    return IsOwn(address, localAddresses) ? ClassifyAddresses({address}).address : std::string();
}

std::string ListenerBindAddress(const std::string& advertisedAddress, const std::vector<std::string>& localAddresses) {
    return IsOwn(advertisedAddress, localAddresses) ? advertisedAddress : AllInterfaces;
}

#include "engine/search/connection_chooser.h"

#include "engine/net/port_mapper.h"
#include "engine/sys/log.h"

ConnectionChooser::ConnectionChooser(std::unique_ptr<PortMapper> mapper, std::chrono::milliseconds discoveryGrace)
    : m_mapper(std::move(mapper)), m_discoveryGrace(discoveryGrace) {}

ConnectionChooser::~ConnectionChooser() {
    ReleaseMapping();
}

void ConnectionChooser::StartDiscovery() {
    if (m_mapper) m_mapper->StartDiscovery();
}

std::optional<RouterMapping> ConnectionChooser::MapForRun(uint16_t listenPort, std::string& problem) {
    if (!m_mapper) {
        problem = "no router looked for";
        return std::nullopt;
    }
    m_mapper->StartDiscovery();
    // A slow router must not hold the run: this one goes passive, a later one may find the router ready.
    if (!m_mapper->WaitForDiscovery(m_discoveryGrace)) {
        problem = "still looking for a router";
        return std::nullopt;
    }
    return m_mapper->MapUdpPort(listenPort, problem);
}

ConnectionPlan ConnectionChooser::Choose(ConnectionFacts facts) {
    facts.Mapping.reset();
    ConnectionPlan plan = PlanConnection(facts);
    if (facts.Mode != ConnectionMode::Automatic) {
        ReleaseMapping();
        m_runPlan = plan;
        return plan;
    }
    std::string problem;
    if (plan.Route != ResultRoute::Direct) {
        facts.Mapping = MapForRun(facts.ListenPort, problem);
        plan = PlanConnection(facts);
    }
    // A mapping that a second NAT makes useless goes at once.
    if (plan.Route != ResultRoute::Mapped) ReleaseMapping();
    m_runFacts = facts;
    m_runPlan = plan;
    m_lastFound = plan.Summary;
    if (!facts.Mapping && !problem.empty()) m_lastFound += " (" + problem + ")";
    Log(LogLevel::Info, "connection: " + m_lastFound);
    return plan;
}

void ConnectionChooser::ReleaseMapping() {
    if (m_mapper) m_mapper->RemoveMapping();
}

std::optional<std::string> ConnectionChooser::CheckHubSeenAddress(const std::string& hubSeenAddress) {
    if (m_runPlan.Route != ResultRoute::Mapped || hubSeenAddress.empty() ||
        hubSeenAddress == m_runPlan.AdvertisedAddress)
        return std::nullopt;
    m_runFacts.HubSeenAddress = hubSeenAddress;
    m_runPlan = PlanConnection(m_runFacts);
    m_lastFound = m_runPlan.Summary;
    Log(LogLevel::Warning, "connection: " + m_lastFound);
    return m_lastFound;
}

std::string ConnectionChooser::LastFound() const {
    if (!m_lastFound.empty()) return m_lastFound;
    return m_mapper ? m_mapper->StatusLine() : "No router looked for";
}

#include "engine/search/connection_chooser.h"

#include "engine/net/port_mapper.h"
#include "engine/sys/log.h"

ConnectionChooser::ConnectionChooser(GuiThread& gui, std::unique_ptr<PortMapper> mapper,
                                     std::chrono::milliseconds discoveryGrace)
    : m_mapper(std::move(mapper)) {
    if (m_mapper) m_mapping = std::make_unique<RunMappingThread>(gui, m_mapper, discoveryGrace);
}

ConnectionChooser::~ConnectionChooser() {
    // First, so that no mapping is made after the release.
    m_mapping.reset();
    ReleaseMapping();
}

void ConnectionChooser::StartDiscovery() {
    if (m_mapper) m_mapper->StartDiscovery();
}

void ConnectionChooser::Choose(ConnectionFacts facts, Decided decided) {
    CancelPending();
    facts.Mapping.reset();
    const ConnectionPlan plan = PlanConnection(facts);
    if (facts.Mode != ConnectionMode::Automatic) {
        ReleaseMapping();
        m_runPlan = plan;
        decided(plan);
        return;
    }
    if (plan.Route == ResultRoute::Direct || !m_mapping) {
        decided(Settle(facts, plan.Route == ResultRoute::Direct ? "" : "no router looked for"));
        return;
    }
    m_mapping->Map(facts.ListenPort, [this, facts, decided = std::move(decided)](
                                         const std::optional<RouterMapping>& mapping, const std::string& problem) {
        ConnectionFacts mapped = facts;
        mapped.Mapping = mapping;
        decided(Settle(mapped, problem));
    });
}

void ConnectionChooser::CancelPending() {
    if (m_mapping) m_mapping->Cancel();
}

ConnectionPlan ConnectionChooser::Settle(const ConnectionFacts& facts, const std::string& problem) {
    ConnectionPlan plan = PlanConnection(facts);
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

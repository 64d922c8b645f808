#include "test_network.h"

#include <algorithm>

#include "hublist_writer.h"
#include "socket_util.h"

namespace {

// Enough source ports that consecutive answers rarely share one.
constexpr std::size_t AnswerSockets = 16;

// How the hub list names a hub: its scheme, and for TLS the keyprint of the certificate it serves.
std::string ListedAddress(const HubPlan& hub, uint16_t port, const std::string& keyprint) {
    const char* scheme = hub.adc ? (hub.tls ? "adcs://" : "adc://") : (hub.tls ? "nmdcs://" : "dchub://");
    return scheme + hub.host + ":" + std::to_string(port) + (hub.tls ? "?kp=" + keyprint : "");
}

}  // namespace

TestNetwork::StartResult TestNetwork::Start(EventLoop& loop, const NetworkPlan& plan, const NetworkSettings& settings) {
    std::unique_ptr<TestNetwork> network(new TestNetwork());
    network->m_responder = std::make_unique<UdpResponder>(AnswerSockets);
    if (!network->m_responder->Ok()) return {nullptr, "cannot open UDP sockets"};
    if (std::any_of(plan.Hubs().begin(), plan.Hubs().end(), [](const HubPlan& hub) { return hub.tls; })) {
        const TestCertificate certificate = MakeSelfSignedCertificate();
        network->m_tls = std::make_unique<TlsServerContext>(certificate);
        if (!network->m_tls->Ok()) return {nullptr, "cannot load the hubs' TLS certificate"};
        network->m_keyprint = certificate.Keyprint;
    }
    const std::vector<int> sockets = BindPortRun(settings.basePort, plan.Hubs().size());
    if (sockets.size() != plan.Hubs().size()) {
        return {nullptr, "cannot bind " + std::to_string(plan.Hubs().size()) + " hub ports from " +
                             std::to_string(settings.basePort)};
    }
    std::vector<HublistEntry> entries;
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        const HubPlan& hub = plan.Hubs()[i];
        const uint16_t port = LocalPort(sockets[i]);
        network->m_ports.push_back(port);
        const std::chrono::milliseconds latency = settings.latency + hub.latency;
        if (hub.kind == HubKind::ClosedPort || hub.kind == HubKind::Unresolvable) {
            // Bound without listening: connections to it are refused, and no other program takes the port.
            network->m_unservedSockets.push_back(sockets[i]);
        } else if (hub.kind == HubKind::Dead) {
            network->m_unservedSockets.push_back(sockets[i]);
            const int filler = ListenWithFullQueue(sockets[i]);
            if (filler < 0) {
                for (std::size_t j = i + 1; j < sockets.size(); ++j) CloseSocket(sockets[j]);
                return {nullptr, "cannot fill the queue of port " + std::to_string(port)};
            }
            network->m_unservedSockets.push_back(filler);
        } else if (!StartListening(sockets[i])) {
            for (std::size_t j = i; j < sockets.size(); ++j) CloseSocket(sockets[j]);
            return {nullptr, "cannot listen on port " + std::to_string(port)};
        } else if (hub.adc) {
            network->m_adcHubs.push_back(
                std::make_unique<SimulatedAdcHub>(loop, plan, i, sockets[i], *network->m_responder, latency));
            if (hub.tls) network->m_adcHubs.back()->ServeTls(network->m_tls->Get());
        } else {
            network->m_hubs.push_back(std::make_unique<Hub>(loop, plan, i, sockets[i], *network->m_responder, latency));
            if (hub.tls) network->m_hubs.back()->ServeTls(network->m_tls->Get());
        }
        int64_t shared = 0;
        for (const std::size_t user : hub.users) shared += plan.Users()[user].ShareBytes();
        entries.push_back({hub.name, ListedAddress(hub, port, network->m_keyprint), hub.description, hub.users.size(),
                           shared, hub.listedEncoding});
    }
    // Redirect hubs send their users to the first plain NMDC hub that takes them in.
    const auto host = std::find_if(plan.Hubs().begin(), plan.Hubs().end(), [](const HubPlan& hub) {
        return NetworkPlan::ForwardsSearches(hub.kind) && !hub.adc && !hub.tls;
    });
    if (host != plan.Hubs().end()) {
        const std::string target = "127.0.0.1:" + std::to_string(network->m_ports[host - plan.Hubs().begin()]);
        for (const auto& hub : network->m_hubs) hub->SetRedirectTarget(target);
    }
    network->m_hublistXml = WriteHublistXml(entries);
    auto compressed = Bzip2Compress(network->m_hublistXml);
    if (!compressed) return {nullptr, "cannot compress the hub list"};
    const int httpFd = ListenTcp(settings.httpPort);
    if (httpFd < 0) return {nullptr, "cannot listen on HTTP port " + std::to_string(settings.httpPort)};
    network->m_http =
        std::make_unique<HttpServer>(loop, httpFd, HublistPath, "application/x-bzip2", std::move(*compressed));
    return {std::move(network), ""};
}

TestNetwork::~TestNetwork() {
    m_http.reset();
    m_hubs.clear();
    m_adcHubs.clear();
    for (const int fd : m_unservedSockets) CloseSocket(fd);
}

std::string TestNetwork::HublistUrl() const {
    return "http://127.0.0.1:" + std::to_string(m_http->Port()) + HublistPath;
}

#include "engine/search/hub_connector.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <algorithm>

#include "engine/net/tcp_connect.h"
#include "engine/search/hub_counting.h"
#include "engine/search/hub_outcome.h"
#include "engine/search/hub_values.h"
#include "engine/search/hub_worker.h"

namespace {

// Connects under way per worker. A third of a public list's hubs never answer a connect, and each holds its place
// for the whole time-out while a live hub's connect takes one round trip: with a few places per worker the dead
// ones still leave enough live connections to keep every worker busy.
constexpr std::size_t PendingPerWorker = 8;
// Each connect under way holds a descriptor and sends SYNs, beside the workers' and the lingering connections: with
// the largest pool, more would only flood the descriptor table and the home router's connection table.
constexpr std::size_t MaxPending = 512;

bool IsAdc(HubProtocol protocol) {
    return protocol == HubProtocol::Adc || protocol == HubProtocol::AdcTls;
}

// The hub is handed to a worker without a connect: the worker fails or skips it as it would before connecting.
bool NotToContact(const HubTicket& ticket) {
    if (ticket.skipTooSoon) return true;
    if (IsAdc(ticket.protocol)) return !ticket.values->Adc;
    return !ValuesForHub(*ticket.values, *ticket.encoding).values;
}

// A failed connect as the hub's exchange would have ended with it, and its log text.
HubOutcome ConnectFailure(const HubTicket& ticket, TcpStatus status, std::chrono::milliseconds took,
                          std::string& description) {
    if (IsAdc(ticket.protocol)) {
        const AdcExchangeResult result = AdcConnectFailure(status);
        description = result.Reason;
        return OutcomeOf(ticket.host, ticket.port, result, took);
    }
    ExchangeResult result;
    result.connection = status;
    description = DescribeExchange(result);
    return OutcomeOf(ticket.host, ticket.port, result, took);
}

}  // namespace

HubConnector::HubConnector(NetworkLoop& network, WorkerContext& context)
    : m_network(network), m_context(context), m_resolver(std::make_unique<LoopNameResolver>(network)) {}

HubConnector::~HubConnector() {
    Stop();
    // With the loop thread gone, what it held is this thread's to close.
    m_network.Stop();
    DropStale();
    m_resolver.reset();
}

void HubConnector::Start(HubQueue& queue, std::shared_ptr<const RunValues> values, uint64_t run, std::size_t workers) {
    {
        std::lock_guard guard(m_lock);
        m_queue = &queue;
        m_values = std::move(values);
        m_run = run;
        m_maxPending = std::min(workers * PendingPerWorker, MaxPending);
        // A hub connected long before a worker takes it may give up on the silent client: one waiting hub per worker.
        m_maxReady = workers;
    }
    m_network.Post([this] { Fill(); });
}

void HubConnector::Refill() {
    m_network.Post([this] { Fill(); });
}

void HubConnector::Stop() {
    std::deque<HubTicket> ready;
    {
        std::lock_guard guard(m_lock);
        m_queue = nullptr;
        m_values.reset();
        m_run = 0;
        ready.swap(m_ready);
    }
    for (const HubTicket& ticket : ready)
        if (ticket.socket >= 0) close(ticket.socket);
    m_network.Post([this] { DropStale(); });
}

std::optional<HubTicket> HubConnector::Take(uint64_t run, AutoResetEvent& wake) {
    std::lock_guard guard(m_lock);
    if (m_ready.empty() || m_ready.front().run != run) {
        if (std::find(m_waiting.begin(), m_waiting.end(), &wake) == m_waiting.end()) m_waiting.push_back(&wake);
        return std::nullopt;
    }
    HubTicket ticket = std::move(m_ready.front());
    m_ready.pop_front();
    std::erase(m_waiting, &wake);
    m_network.Post([this] { Fill(); });
    return ticket;
}

void HubConnector::StopWaking(AutoResetEvent& wake) {
    std::lock_guard guard(m_lock);
    std::erase(m_waiting, &wake);
}

std::optional<HubTicket> HubConnector::NextHub() {
    std::lock_guard guard(m_lock);
    if (m_run == 0 || m_queue == nullptr || m_pending.size() >= m_maxPending || m_ready.size() >= m_maxReady)
        return std::nullopt;
    const HubEntry* hub = m_queue->NextHub();
    if (hub == nullptr) return std::nullopt;
    return HubTicket{std::string(hub->Host),
                     hub->Port,
                     hub->Encoding,
                     hub->Protocol,
                     std::string(hub->Keyprint),
                     std::string(hub->Name),
                     hub->Users,
                     std::string(hub->RedirectedFrom),
                     hub->SkipTooSoon,
                     m_values,
                     m_run};
}

void HubConnector::Fill() {
    // A connect that fails at once, or a name found at once, comes back here from within Begin: the loop below goes on.
    if (m_filling) return;
    m_filling = true;
    while (std::optional<HubTicket> ticket = NextHub()) {
        if (NotToContact(*ticket))
            HandOn(std::move(*ticket));
        else
            Begin(std::move(*ticket));
    }
    m_filling = false;
}

void HubConnector::Begin(HubTicket ticket) {
    const uint64_t id = m_nextId++;
    const auto started = Clock::now();
    // The connect gets what a worker's own connect got: the run's time-out, name lookup included.
    const auto timeout = std::chrono::seconds(std::max(ticket.values->SearchTimeout, 1));
    const NetworkLoop::TimerId deadline = m_network.RunAt(started + timeout, [this, id] {
        const auto pending = m_pending.find(id);
        if (pending == m_pending.end()) return;
        Fail(id, pending->second.ticket.socket < 0 ? TcpStatus::LookupTimedOut : TcpStatus::TimedOut);
        Fill();
    });
    const std::string host = ticket.host;
    const int32_t port = ticket.port;
    m_pending.emplace(id, Pending{std::move(ticket), started, deadline});
    if (host.empty() || port < 1 || port > 65535) return Fail(id, TcpStatus::InvalidTarget);
    if (const std::optional<uint32_t> dotted = DottedAddress(host)) return Connect(id, *dotted);
    m_resolver->Resolve(host, [this, id](LookupStatus status, uint32_t address) {
        if (!m_pending.contains(id)) return;
        if (status == LookupStatus::Found)
            Connect(id, address);
        else
            Fail(id, StatusOfLookup(status));
        Fill();
    });
}

void HubConnector::Connect(uint64_t id, uint32_t address) {
    HubTicket& ticket = m_pending.at(id).ticket;
    if (const TcpStatus started = StartConnect(address, ticket.port, ticket.socket); started != TcpStatus::Ok)
        return Fail(id, started);
    if (!m_network.Watch(ticket.socket, EPOLLOUT, [this, id](uint32_t /*events*/) {
            Connected(id);
            Fill();
        }))
        Fail(id, TcpStatus::Failed);
}

void HubConnector::Connected(uint64_t id) {
    const TcpStatus status = FinishConnect(m_pending.at(id).ticket.socket);
    if (status != TcpStatus::Ok) return Fail(id, status);
    Pending pending = Release(id);
    pending.ticket.connectTook = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - pending.started);
    HandOn(std::move(pending.ticket));
}

void HubConnector::Fail(uint64_t id, TcpStatus status) {
    Pending pending = Release(id);
    if (pending.ticket.socket >= 0) close(pending.ticket.socket);
    if (m_context.counters.IsCurrent(pending.ticket.run)) {
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - pending.started);
        std::string description;
        HubOutcome outcome = ConnectFailure(pending.ticket, status, took, description);
        LogExchange(outcome, description, took);
        CountHub(m_context, pending.ticket, std::move(outcome));
    }
}

HubConnector::Pending HubConnector::Release(uint64_t id) {
    auto found = m_pending.find(id);
    Pending pending = std::move(found->second);
    m_pending.erase(found);
    m_network.Cancel(pending.deadline);
    if (pending.ticket.socket >= 0) m_network.Forget(pending.ticket.socket);
    return pending;
}

void HubConnector::HandOn(HubTicket ticket) {
    std::lock_guard guard(m_lock);
    if (ticket.run != m_run) {
        if (ticket.socket >= 0) close(ticket.socket);
        return;
    }
    m_ready.push_back(std::move(ticket));
    if (m_waiting.empty()) return;
    m_waiting.back()->Set();
    m_waiting.pop_back();
}

void HubConnector::DropStale() {
    uint64_t run = 0;
    {
        std::lock_guard guard(m_lock);
        run = m_run;
    }
    std::vector<uint64_t> stale;
    for (const auto& [id, pending] : m_pending)
        if (pending.ticket.run != run) stale.push_back(id);
    for (const uint64_t id : stale) {
        const Pending pending = Release(id);
        if (pending.ticket.socket >= 0) close(pending.ticket.socket);
    }
}

#include "engine/search/hub_worker.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <utility>

#include "engine/adc/adc_exchange.h"
#include "engine/search/adc_run.h"
#include "engine/search/hub_connector.h"
#include "engine/search/hub_exchange.h"
#include "engine/sys/log.h"

namespace {

// Relayed results go to the GUI thread at the latest when the hub is left, and at most this many at a time.
constexpr std::size_t RelayedBatchSize = 64;

// Workers run one step below normal priority, so the window stays responsive during a run.
void LowerPriority() {
    const pid_t thread = gettid();
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, static_cast<id_t>(thread));
    if (errno == 0) setpriority(PRIO_PROCESS, static_cast<id_t>(thread), current + 1);
}

std::chrono::milliseconds Since(std::chrono::steady_clock::time_point started) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
}

bool IsAdc(HubProtocol protocol) {
    return protocol == HubProtocol::Adc || protocol == HubProtocol::AdcTls;
}

// An outcome that is its reason alone.
HubOutcome PlainOutcome(const std::string& host, int32_t port, HubReason reason) {
    HubOutcome outcome;
    outcome.host = host;
    outcome.port = port;
    outcome.reason = reason;
    return outcome;
}

// What a hub relays during the linger, handed to the GUI thread in batches: on the network loop's thread.
template <class Item>
class RelayedBatch {
public:
    // handOver runs on the GUI thread, only while the run is the current one; it may be empty.
    RelayedBatch(WorkerContext& context, uint64_t run, std::function<void(const std::vector<Item>&)> handOver)
        : m_context(context), m_run(run), m_handOver(std::move(handOver)) {}

    void Add(Item item) {
        m_items.push_back(std::move(item));
        if (m_items.size() >= RelayedBatchSize) HandOver();
    }
    void HandOver() {
        if (m_items.empty()) return;
        if (m_handOver)
            m_context.gui.RunAndWait([this] {
                if (m_context.counters.IsCurrent(m_run)) m_handOver(m_items);
            });
        m_items.clear();
    }

private:
    WorkerContext& m_context;
    const uint64_t m_run;
    const std::function<void(const std::vector<Item>&)> m_handOver;
    std::vector<Item> m_items;
};

}  // namespace

bool WorkerContext::HandOverProgress() {
    // Workers finishing together would otherwise queue one hand-over each and wait in line. The flag is cleared
    // before the update reads the counters, so a change made after that read always hands over a new update.
    if (progressPending.exchange(true)) return true;
    return gui.RunAndWait([this] {
        progressPending = false;
        updateRunProgress();
    });
}

bool WorkerContext::EndLinger(uint64_t run) {
    // Lingering cannot change the outcome, but the run is over only once the last hub has been left.
    return !counters.LingerEnded(run) || HandOverProgress();
}

HubWorker::HubWorker(WorkerContext& context) : m_context(context), m_thread([this] { Execute(); }) {}

HubWorker::~HubWorker() {
    Terminate();
    m_thread.join();
}

void HubWorker::Activate(uint64_t run) {
    std::lock_guard guard(m_runLock);
    m_run = run;
    Active = true;
}

void HubWorker::Deactivate() {
    {
        std::lock_guard guard(m_runLock);
        Active = false;
        Abandoned = true;
    }
    Client.Abort();
}

void HubWorker::Terminate() {
    {
        std::lock_guard guard(m_runLock);
        Terminated = true;
    }
    Client.Abort();
    WakeEvent.Set();
}

std::optional<HubTicket> HubWorker::TakeHub() {
    std::lock_guard guard(m_runLock);
    if (Terminated || !Active) return std::nullopt;
    std::optional<HubTicket> ticket = m_context.connector->Take(m_run, WakeEvent);
    Abandoned = false;
    if (!ticket) return std::nullopt;
    // An Abort meant for an earlier run or hub must not cut this one; later ones come after this lock is left.
    Client.Rearm();
    Client.Adopt(ticket->socket);
    return ticket;
}

bool HubWorker::Finish(const HubTicket& ticket, HubOutcome outcome, AdcHubUsers adcUsers) {
    const bool searched = outcome.reason == HubReason::Searched;
    const HubCounted counted = CountHub(m_context, ticket, std::move(outcome));
    if (counted != HubCounted::Yes || !searched) {
        Client.Disconnect();
        return counted != HubCounted::GuiClosed;
    }
    if (IsAdc(ticket.protocol))
        LingerOnAdcHub(ticket, std::move(adcUsers));
    else
        LingerOnNmdcHub(ticket);
    return true;
}

std::optional<HubWorker::AfterHub> HubWorker::Unwanted(bool givenUp) {
    if (givenUp || Terminated || !Active) return AfterHub::Stop;
    if (Abandoned) {
        Client.Disconnect();
        return AfterHub::Next;
    }
    return std::nullopt;
}

HubWorker::AfterHub HubWorker::SearchNmdcHub(const HubTicket& ticket, const std::function<bool()>& stillWanted) {
    const auto started = std::chrono::steady_clock::now() - ticket.connectTook;
    const auto connected = [this, &ticket] {
        if (m_context.hubAddresses != nullptr)
            m_context.hubAddresses->Record(Client.PeerAddress(), *ticket.encoding,
                                           HubListAddress(ticket.host, ticket.port));
    };
    std::optional<HubTls> tls;
    if (ticket.protocol == HubProtocol::NmdcTls) tls = HubTls{ticket.keyprint};
    const ExchangeResult result =
        LogInAndSearchInEncoding(Client, ticket.host, ticket.port, *ticket.encoding, *ticket.values, m_context.timings,
                                 stillWanted, connected, tls);
    const auto took = Since(started);
    HubOutcome outcome = OutcomeOf(ticket.host, ticket.port, result, took);
    LogExchange(outcome, DescribeExchange(result), took);
    if (m_context.hubSeenAddress != nullptr && !result.hubSeenAddress.empty())
        m_context.hubSeenAddress->Note(result.hubSeenAddress);
    if (const std::optional<AfterHub> after = Unwanted(result.end == ExchangeEnd::GivenUp)) return *after;
    return Finish(ticket, std::move(outcome)) ? AfterHub::Next : AfterHub::GuiClosed;
}

HubWorker::AfterHub HubWorker::SearchAdcHub(const HubTicket& ticket, const std::function<bool()>& stillWanted) {
    const auto started = std::chrono::steady_clock::now() - ticket.connectTook;
    if (!ticket.values->Adc) {
        HubOutcome outcome = PlainOutcome(ticket.host, ticket.port, HubReason::NoAdcIdentity);
        LogExchange(outcome, "skipped: the data folder could not keep an ADC identity", Since(started));
        return Finish(ticket, std::move(outcome)) ? AfterHub::Next : AfterHub::GuiClosed;
    }
    AdcRun& adc = *ticket.values->Adc;
    // Results relayed through the hub come during the linger, read by LingerOnAdcHub.
    const AdcRunContext context{*ticket.values,    adc.Identity, adc.Query, adc.Registry,
                                m_context.timings, adc.Filter,   {}};
    const AdcHub hub{ticket.host, ticket.port, ticket.protocol == HubProtocol::AdcTls, ticket.keyprint};
    AdcHubUsers users;
    const AdcExchangeResult result = AdcLogInAndSearch(Client, hub, context, stillWanted, users);
    const auto took = Since(started);
    HubOutcome outcome = OutcomeOf(ticket.host, ticket.port, result, took);
    LogExchange(outcome, result.End == AdcExchangeEnd::Searched ? "BSCH sent" : result.Reason, took);
    if (const std::optional<AfterHub> after = Unwanted(result.End == AdcExchangeEnd::GivenUp)) return *after;
    return Finish(ticket, std::move(outcome), std::move(users)) ? AfterHub::Next : AfterHub::GuiClosed;
}

HubWorker::AfterHub HubWorker::SkipHub(const HubTicket& ticket) {
    HubOutcome outcome = PlainOutcome(ticket.host, ticket.port, HubReason::TooSoon);
    LogExchange(outcome, "skipped: an earlier run searched it moments ago", std::chrono::milliseconds(0));
    return Finish(ticket, std::move(outcome)) ? AfterHub::Next : AfterHub::GuiClosed;
}

std::chrono::steady_clock::time_point HubWorker::LingerUntil(const HubTicket& ticket) const {
    return std::chrono::steady_clock::now() +
           (ticket.values->Passive ? m_context.timings.PassiveWindow : m_context.timings.Linger);
}

void HubWorker::LingerOnNmdcHub(const HubTicket& ticket) {
    WorkerContext& context = m_context;
    const uint64_t run = ticket.run;
    LingeringConnections::Stay stay;
    stay.connection = Client.Release();
    stay.terminator = '|';
    stay.until = LingerUntil(ticket);
    stay.onEnd = [&context, run] { context.EndLinger(run); };
    // Only a passive run's hubs relay answers worth reading.
    if (ticket.values->Passive && context.handOverRelayedResults) {
        auto relayed = std::make_shared<RelayedBatch<std::string>>(context, run, [&context](const auto& lines) {
            context.handOverRelayedResults(std::vector<std::string_view>(lines.begin(), lines.end()));
        });
        stay.onLine = [relayed](std::string_view line) {
            if (line.starts_with("$SR ")) relayed->Add(std::string(line));
        };
        stay.onEnd = [relayed, &context, run] {
            relayed->HandOver();
            context.EndLinger(run);
        };
    }
    context.lingering->Hold(std::move(stay));
}

void HubWorker::LingerOnAdcHub(const HubTicket& ticket, AdcHubUsers users) {
    WorkerContext& context = m_context;
    const uint64_t run = ticket.run;
    auto relayed = std::make_shared<RelayedBatch<SearchResult>>(context, run, context.handOverAdcResults);
    AdcRun& adc = *ticket.values->Adc;
    auto stay = std::make_shared<AdcHubStay>(
        adc.Registry, adc.Filter,
        [relayed](const SearchResult& result) {
            relayed->Add(result);
            return true;
        },
        std::move(users));
    // The stay reads with the run's registry and filter: the run's values keep them alive until it ends.
    context.lingering->Hold({Client.Release(), '\n', LingerUntil(ticket),
                             [stay, values = ticket.values](std::string_view line) { stay->Read(line); },
                             [relayed, &context, run] {
                                 relayed->HandOver();
                                 context.EndLinger(run);
                             }});
}

void HubWorker::Execute() {
    LowerPriority();
    const auto stillWanted = [this] { return !Terminated && Active; };
    while (true) {
        WakeEvent.Wait();
        if (Terminated) break;
        bool guiClosed = false;
        while (const std::optional<HubTicket> ticket = TakeHub()) {
            const AfterHub after = ticket->skipTooSoon       ? SkipHub(*ticket)
                                   : IsAdc(ticket->protocol) ? SearchAdcHub(*ticket, stillWanted)
                                                             : SearchNmdcHub(*ticket, stillWanted);
            if (after == AfterHub::Next) continue;
            guiClosed = after == AfterHub::GuiClosed;
            break;
        }
        Client.Disconnect();
        if (Terminated || guiClosed) break;
    }
    m_context.connector->StopWaking(WakeEvent);
    m_finished = true;
}

#include "engine/search/hub_worker.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <utility>

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

void LogExchange(const HubOutcome& outcome, const ExchangeResult& result, std::chrono::milliseconds took) {
    if (!LogEnabled(LogLevel::Info)) return;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f s", std::chrono::duration<double>(took).count());
    // A hub given up or cut short is not counted: the run that wanted it was stopped.
    const HubReason reason = outcome.reason;
    const std::string verdict = reason == HubReason::Searched  ? "searched"
                                : reason == HubReason::Stopped ? "stopped"
                                                               : std::string("failed (") + DescribeReason(reason) + ")";
    Log(LogLevel::Info, "hub " + outcome.host + ":" + std::to_string(outcome.port) + " " + verdict + " after " +
                            seconds + ": " + DescribeExchange(result));
}

}  // namespace

HubWorker::HubWorker(WorkerContext& context) : m_context(context), m_thread([this] { Execute(); }) {}

HubWorker::~HubWorker() {
    Terminate();
    m_thread.join();
}

void HubWorker::Activate(HubQueue& queue, std::shared_ptr<const RunValues> values, uint64_t run) {
    std::lock_guard guard(m_runLock);
    m_queue = &queue;
    m_values = std::move(values);
    m_run = run;
    Active = true;
}

void HubWorker::Deactivate() {
    {
        std::lock_guard guard(m_runLock);
        Active = false;
        Abandoned = true;
        m_queue = nullptr;
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

std::optional<HubWorker::Ticket> HubWorker::TakeHub() {
    std::lock_guard guard(m_runLock);
    if (Terminated || !Active || m_queue == nullptr || m_queue->Remaining() <= 0) return std::nullopt;
    const HubEntry* hub = m_queue->NextHub();
    Abandoned = false;
    if (hub == nullptr) return std::nullopt;
    // An Abort meant for an earlier run or hub must not cut this one; later ones come after this lock is left.
    Client.Rearm();
    return Ticket{std::string(hub->Host), hub->Port, hub->Encoding, m_values, m_run};
}

bool HubWorker::Finish(const Ticket& ticket, HubOutcome outcome) {
    const bool searched = outcome.reason == HubReason::Searched;
    if (!m_context.counters.Count(ticket.run, !searched)) return true;
    m_context.outcomes.Add(ticket.run, std::move(outcome));
    if (!HandOverProgress()) return false;
    if (!searched) return true;
    // Lingering cannot change the outcome, but the run is over only once the last hub has been left.
    if (!Linger(ticket)) return false;
    return !m_context.counters.LingerEnded(ticket.run) || HandOverProgress();
}

bool HubWorker::Linger(const Ticket& ticket) {
    if (!ticket.values->Passive || !m_context.handOverRelayedResults) {
        LingerAndLeave(Client, m_context.timings.Linger);
        return true;
    }
    std::vector<std::string> batch;
    bool guiOpen = true;
    const auto handOver = [&] {
        const std::vector<std::string_view> lines(batch.begin(), batch.end());
        guiOpen = guiOpen && m_context.gui.RunAndWait([&] {
            if (m_context.counters.IsCurrent(ticket.run)) m_context.handOverRelayedResults(lines);
        });
        batch.clear();
    };
    LingerAndLeave(Client, m_context.timings.PassiveWindow, [&](std::string_view line) {
        batch.emplace_back(line);
        if (batch.size() >= RelayedBatchSize) handOver();
    });
    if (!batch.empty()) handOver();
    return guiOpen;
}

bool HubWorker::HandOverProgress() {
    // Workers finishing together would otherwise queue one hand-over each and wait in line. The flag is cleared
    // before the update reads the counters, so a change made after that read always hands over a new update.
    if (m_context.progressPending.exchange(true)) return true;
    return m_context.gui.RunAndWait([this] {
        m_context.progressPending = false;
        m_context.updateRunProgress();
    });
}

void HubWorker::Execute() {
    LowerPriority();
    const auto stillWanted = [this] { return !Terminated && Active; };
    const HubEncoding* encoding = nullptr;
    const auto connected = [this, &encoding] {
        if (m_context.hubAddresses != nullptr) m_context.hubAddresses->Record(Client.PeerAddress(), *encoding);
    };
    while (true) {
        WakeEvent.Wait();
        if (Terminated) break;
        bool guiClosed = false;
        while (const std::optional<Ticket> ticket = TakeHub()) {
            const auto started = std::chrono::steady_clock::now();
            encoding = ticket->encoding;
            const ExchangeResult result =
                LogInAndSearchInEncoding(Client, ticket->host, ticket->port, *ticket->encoding, *ticket->values,
                                         m_context.timings, stillWanted, connected);
            const auto took =
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
            HubOutcome outcome = OutcomeOf(ticket->host, ticket->port, result, took);
            LogExchange(outcome, result, took);
            if (m_context.hubSeenAddress != nullptr && !result.hubSeenAddress.empty())
                m_context.hubSeenAddress->Note(result.hubSeenAddress);
            if (result.end == ExchangeEnd::GivenUp || Terminated || !Active) break;
            if (Abandoned) {
                Client.Disconnect();
                continue;
            }
            if (!Finish(*ticket, std::move(outcome))) {
                guiClosed = true;
                break;
            }
        }
        Client.Disconnect();
        if (Terminated || guiClosed) break;
    }
    m_finished = true;
}

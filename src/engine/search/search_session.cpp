#include "engine/search/search_session.h"

#include <chrono>

#include "engine/hublist/hub_address.h"
#include "engine/net/local_addresses.h"
#include "engine/net/port_mapper.h"
#include "engine/net/udp_listener.h"
#include "engine/search/adc_run.h"
#include "engine/search/hub_history.h"
#include "engine/search/hub_queue.h"
#include "engine/search/search_runner.h"
#include "engine/search/silent_port_hint.h"
#include "engine/search/udp_port.h"
#include "engine/sys/log.h"

SearchSession::SearchSession(GuiThread& gui, SearchSessionObserver& observer, HubExchangeTimings timings)
    : m_gui(gui),
      m_observer(observer),
      m_connection(std::make_unique<ConnectionChooser>(gui)),
      m_listener(std::make_unique<UdpListener>(
          gui,
          [this](const std::vector<std::string_view>& datagrams) {
              m_datagramsReceived += static_cast<int64_t>(datagrams.size());
              AcceptBatch(m_received, m_receivedDropped);
          },
          UdpListener::DefaultHandOverBytes,
          // Decoding and the quota run on the receiving thread; the GUI thread only adds the rows.
          [this](const std::vector<std::string_view>& datagrams) {
              m_receivedDropped = m_reader.Read(datagrams, m_received);
          })),
      m_runner(MakeRunner(timings)) {}

SearchSession::~SearchSession() {
    Shutdown();
}

std::unique_ptr<SearchRunner> SearchSession::MakeRunner(const HubExchangeTimings& timings) {
    auto runner = std::make_unique<SearchRunner>(
        m_gui, [this] { OnRunProgress(); }, timings);
    // What hubs relay in a passive run goes the way of the datagrams.
    runner->SetRelayedResultHandler([this](const std::vector<std::string_view>& lines) { OnRelayedLines(lines); });
    runner->SetAdcResultHandler([this](const std::vector<SearchResult>& results) { OnAdcResults(results); });
    return runner;
}

bool SearchSession::LoadAdcIdentity(const std::string& dataDir) {
    AdcIdentityLoad load = LoadOrCreateAdcIdentity(dataDir);
    if (!load.identity) {
        Log(LogLevel::Warning, "ADC hubs cannot be searched: " + load.error);
        return false;
    }
    m_adcIdentity = std::move(load.identity);
    return true;
}

void SearchSession::SetExchangeTimings(const HubExchangeTimings& timings) {
    // The port reads answers with the old runner's hub addresses.
    m_listener->Deactivate();
    m_runner = MakeRunner(timings);
}

void SearchSession::UseRouter(std::unique_ptr<PortMapper> mapper, std::chrono::milliseconds discoveryGrace) {
    m_connection = std::make_unique<ConnectionChooser>(m_gui, std::move(mapper), discoveryGrace);
    m_connection->StartDiscovery();
}

std::string SearchSession::ConnectionFindings() const {
    return m_connection->LastFound();
}

std::optional<std::string> SearchSession::SilentPortHintText() const {
    return SilentPortHint(
        {m_plan.Route, m_plan.AdvertisedAddress, m_plan.AdvertisedPort, SearchedCount(), m_datagramsReceived});
}

void SearchSession::SetLiveFilter(bool atMostShown, bool onlyFreeSlots) {
    m_atMostShown = atMostShown;
    m_onlyFreeSlots = onlyFreeSlots;
    m_reader.SetLiveFilter(atMostShown, onlyFreeSlots);
}

int32_t SearchSession::SearchedCount() const {
    return m_runner->SearchedCount();
}

int32_t SearchSession::FailedCount() const {
    return m_runner->FailedCount();
}

RunStart SearchSession::Start(HubQueue& queue, const AppSettings& settings, const SearchForm& form,
                              std::string_view phrase) {
    m_runner->ResizePool(settings.Threads);
    Stop();
    m_resultCount = 0;
    m_droppedCount = 0;
    m_limitReached = false;
    m_hubTally.Clear();
    ArrangeByHistory(queue, settings.SkipRecentHubs);

    const SearchCriteria criteria = BuildSearchCriteria(form);
    m_sizeFilterLow = criteria.SizeFilterLow;
    m_sizeFilterHigh = criteria.SizeFilterHigh;
    if (criteria.error) return {RunStartFailure::BadCriteria, *criteria.error};

    // Active advertises the settings' address as it is; Automatic only a public one of this machine's own.
    const ConnectionMode mode = settings.Connection;
    const std::string publicLocal =
        mode == ConnectionMode::Automatic ? PublicLocalAddress(settings.IP, UpInterfaceAddressTexts()) : "";
    m_adcRun.reset();
    if (m_adcIdentity) {
        m_adcRun = std::make_shared<AdcRun>();
        m_adcRun->Identity = *m_adcIdentity;
        m_adcRun->Query = AdcQueryFor(phrase, form, criteria);
        m_adcRun->Filter = {m_sizeFilterLow, m_sizeFilterHigh, m_atMostShown, m_onlyFreeSlots};
    }
    // Before the port opens: nothing is read meanwhile (Stop closed it).
    m_reader.BeginRun(m_sizeFilterLow, m_sizeFilterHigh, m_limits.perUser, &m_runner->HubAddresses(), m_adcRun);
    m_currentUdpPort = NextUdpPort(m_currentUdpPort, settings.MinUDPPort, settings.MaxUDPPort);
    if (!BindRunPort(*m_listener, RunListenerAddress(mode == ConnectionMode::Active ? settings.IP : publicLocal),
                     m_currentUdpPort, settings.MinUDPPort, settings.MaxUDPPort))
        return {RunStartFailure::PortNotBound, {}};
    m_datagramsReceived = 0;
    m_connectionNoted = false;
    m_queue = &queue;
    m_state = RunState::Starting;
    RunValues values{settings.Nick,        {}, settings.ShareSizeBytes, settings.SearchTimeout, criteria.SearchPrefix,
                     SearchPattern(phrase)};
    values.Adc = m_adcRun;
    m_connection->Choose({mode, settings.IP, publicLocal, std::nullopt, m_runner->AddressHubsSee(),
                          static_cast<uint16_t>(m_currentUdpPort)},
                         [this, values](const ConnectionPlan& plan) { BeginRun(plan, values); });
    return {};
}

void SearchSession::BeginRun(const ConnectionPlan& plan, RunValues values) {
    m_plan = plan;
    values.IP = plan.AdvertisedAddress;
    values.CurrentUdpPort = plan.AdvertisedPort;
    values.Passive = plan.Route == ResultRoute::Passive;
    m_state = RunState::Running;
    m_runner->Start(*m_queue, values);
    m_observer.OnRunStarted();
}

void SearchSession::Stop() {
    m_connection->CancelPending();
    m_listener->Deactivate();
    m_runner->Stop();
    m_connection->ReleaseMapping();
    m_queue = nullptr;
    m_state = RunState::Idle;
}

void SearchSession::Shutdown() {
    if (m_closed) return;
    m_closed = true;
    m_listener->Deactivate();
    m_runner->Shutdown();
    // Ends the router thread without waiting on the router, and removes the mapping.
    m_connection = std::make_unique<ConnectionChooser>(m_gui);
    m_queue = nullptr;
    m_state = RunState::Idle;
}

void SearchSession::OnRunProgress() {
    // Read before the outcomes are taken: a worker keeps a hub's outcome before it counts the hub.
    bool complete = m_state == RunState::Running && m_runner->IsComplete(m_queue->Count());
    // A redirect that joins the run keeps it going.
    if (CollectOutcomes()) complete = false;
    ReportHubOutcomes();
    m_observer.OnProgress(m_runner->SearchedCount(), m_runner->FailedCount());
    if (m_state != RunState::Running) return;
    CheckConnection();
    if (!complete) return;
    // The workers let go of the queue now, which a refresh may free once the front end hears of the end; the result
    // port stays open for late answers.
    m_runner->Stop();
    // Answers come while the hubs have us online: the last hub has been left, so the router may close the port.
    m_connection->ReleaseMapping();
    m_state = RunState::Idle;
    m_queue = nullptr;
    m_observer.OnRunEnded();
}

void SearchSession::CheckConnection() {
    if (m_connectionNoted) return;
    if (const std::optional<std::string> note = m_connection->CheckHubSeenAddress(m_runner->AddressHubsSee())) {
        m_connectionNoted = true;
        m_observer.OnConnectionNote(*note);
    }
}

void SearchSession::OnRelayedLines(const std::vector<std::string_view>& lines) {
    const int32_t dropped = m_reader.Read(lines, m_relayed);
    AcceptBatch(m_relayed, dropped);
}

void SearchSession::OnAdcResults(const std::vector<SearchResult>& results) {
    const int32_t dropped = m_reader.Admit(results, m_relayed);
    AcceptBatch(m_relayed, dropped);
}

void SearchSession::AcceptBatch(const ResultBatch& batch, int32_t dropped) {
    if (m_closed || m_limitReached) return;
    m_droppedCount += dropped;
    const int32_t before = m_resultCount;
    for (const SearchResult& result : batch.Results()) {
        if (m_resultCount >= m_limits.perRun) {
            m_limitReached = true;
            Log(LogLevel::Info, "the run has " + std::to_string(m_resultCount) + " results; later ones are dropped");
            break;
        }
        ++m_resultCount;
        if (const auto hub = m_runner->HubAddresses().FindListAddress(result.HubAddress)) m_hubTally.CountResult(*hub);
        m_observer.OnResult(result);
    }
    if (m_resultCount != before) {
        m_observer.OnResultsReported();
        ReportHubOutcomes();
    }
    if (m_limitReached) m_observer.OnResultLimitReached();
}

bool SearchSession::CollectOutcomes() {
    std::vector<HubOutcome> outcomes = m_runner->TakeOutcomes();
    const bool followed = m_state == RunState::Running && FollowRedirects(outcomes);
    m_hubTally.AddOutcomes(std::move(outcomes));
    return followed;
}

bool SearchSession::FollowRedirects(const std::vector<HubOutcome>& outcomes) {
    bool added = false;
    for (const HubOutcome& outcome : outcomes) {
        if (outcome.reason != HubReason::Redirected) continue;
        const HubAddress target = ParseHubAddress(outcome.redirect);
        // Only a listed hub's redirect is followed: one step, so chains and loops end there.
        const HubEntry* from = m_queue->FindListed(outcome.host, outcome.port);
        if (target.outcome != AddressOutcome::Entry || from == nullptr) continue;
        if (!m_queue->AddRedirectTarget(*from, target.host, target.port, target.protocol, target.keyprint)) continue;
        added = true;
        Log(LogLevel::Info, "hub " + HubListAddress(outcome.host, outcome.port) + " redirected to " +
                                HubListAddress(target.host, target.port) + ", which joins the run");
    }
    if (added) m_runner->WakeWorkers();
    return added;
}

void SearchSession::ReportHubOutcomes() {
    const std::vector<HubOutcome> changed = m_hubTally.TakeChanged();
    if (changed.empty()) return;
    if (m_history != nullptr) {
        // What says nothing about the hub itself stays out of its history.
        std::vector<HubOutcome> telling;
        for (const HubOutcome& outcome : changed) {
            const HubReason reason = outcome.reason;
            if (reason != HubReason::TooSoon && reason != HubReason::Stopped &&
                reason != HubReason::PhraseNotWritable && reason != HubReason::NickNotWritable)
                telling.push_back(outcome);
        }
        m_history->Record(telling, m_historyRun, m_historyRun / 1000);
    }
    m_observer.OnHubOutcomes(changed);
}

void SearchSession::ArrangeByHistory(HubQueue& queue, bool skipRecent) {
    if (m_history == nullptr) return;
    const int64_t now =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    m_historyRun = now;
    const std::unordered_map<std::string, HubRecord> records = m_history->Records();
    queue.Rewind();
    queue.Arrange([&](const HubEntry& hub) {
        const auto found = records.find(HubListAddress(hub.Host, hub.Port));
        if (found == records.end()) return HubPlacement{static_cast<int>(HubStanding::Unknown), false};
        const HubRecord& record = found->second;
        const bool recent = record.lastSearched > 0 && now / 1000 - record.lastSearched < kRecentSearchSeconds;
        return HubPlacement{static_cast<int>(record.standing), skipRecent && recent};
    });
}

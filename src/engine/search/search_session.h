#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/adc/adc_identity.h"
#include "engine/results/result_batch.h"
#include "engine/results/search_result.h"
#include "engine/search/connection_chooser.h"
#include "engine/search/connection_plan.h"
#include "engine/search/hub_outcome.h"
#include "engine/search/hub_tally.h"
#include "engine/search/run_result_reader.h"
#include "engine/search/run_values.h"
#include "engine/search/search_criteria.h"
#include "engine/settings/app_settings.h"
#include "engine/sys/gui_thread.h"

class HubHistory;
class HubQueue;
class PortMapper;
class SearchRunner;
class UdpListener;
struct AdcRun;

// What a search session reports to its front end. Every call runs on the GUI thread.
class SearchSessionObserver {
public:
    virtual ~SearchSessionObserver() = default;

    // The current run's hub counters; one call may stand for several hubs counted meanwhile.
    virtual void OnProgress(int32_t searched, int32_t failed) = 0;
    // One accepted result, in arrival order; valid only during the call.
    virtual void OnResult(const SearchResult& result) = 0;
    // The results of one hand-over of datagrams have all been reported (called only when there were some): the
    // moment to show them.
    virtual void OnResultsReported() = 0;
    // Hubs of the current run that ended, or whose result count grew, since the last call; each hub once. A hub
    // already reported comes again whole. Valid only during the call.
    virtual void OnHubOutcomes(const std::vector<HubOutcome>& /*outcomes*/) {}
    // The run searches its hubs now; RunPlan() says how it gets its results. Within Start, or later when the route
    // waited on the router (the run was Starting meanwhile).
    virtual void OnRunStarted() {}
    // Every hub of the run has been counted. Not called for a run that Stop ended.
    virtual void OnRunEnded() = 0;
    // The run's results reached the ceiling: later ones are dropped until the next start.
    virtual void OnResultLimitReached() = 0;
    // Something learnt during the run changes how later runs get their results, e.g. a second NAT: one line.
    virtual void OnConnectionNote(const std::string& /*note*/) {}
};

enum class RunState {
    Idle,      // before the first run, or after one ended (its result port stays open for late answers) or was stopped
    Starting,  // the port is bound; the route waits on the home router
    Running,   // hubs are being searched
};

enum class RunStartFailure {
    None,
    BadCriteria,   // the size values cannot be read: message says why
    PortNotBound,  // no port of the range could be bound on the address
};

struct RunStart {
    RunStartFailure failure = RunStartFailure::None;
    std::string message;  // for BadCriteria, the text to show as it is
};

// Results one user on one hub may add to a run: real clients send about ten answers per search.
inline constexpr int32_t kResultsPerUserLimit = 100;
// Results of a whole run, so that a flood cannot fill the memory (a row costs about a hundred bytes).
inline constexpr int32_t kResultsPerRunLimit = 1'000'000;

// What one run accepts from the result port; the rest is dropped.
struct ResultLimits {
    int32_t perUser = kResultsPerUserLimit;
    int32_t perRun = kResultsPerRunLimit;
};

// One search front end's runs: the criteria, the result port, the connection workers, the decoding of the result
// datagrams and the counters. Links no Qt; a window, a command line or a test drives it. Every method runs on the
// GUI thread (the thread that gui runs steps on) and never waits for a worker that might wait for it.
class SearchSession {
public:
    // observer must outlive the session.
    SearchSession(GuiThread& gui, SearchSessionObserver& observer, HubExchangeTimings timings = {});
    // Shutdown().
    ~SearchSession();
    SearchSession(const SearchSession&) = delete;
    SearchSession& operator=(const SearchSession&) = delete;

    // Ends what an earlier run left (workers, result port, results) and starts a run with settings.Threads workers
    // over every hub of queue, searching for phrase with the form's criteria, results arriving on the next port of
    // the settings' range. The queue must stay alive until Stop, OnRunEnded, the next Start or Shutdown. On a failure
    // nothing runs and nothing listens. When the route waits on the router the run is Starting until OnRunStarted.
    RunStart Start(HubQueue& queue, const AppSettings& settings, const SearchForm& form, std::string_view phrase);
    // Ends the run (or the start still waiting on the router) and closes the result port; nothing more is counted or
    // reported.
    void Stop();
    // Ends every worker and the port within moments. Call it after the GuiThread has been closed; safe twice.
    void Shutdown();

    // Loads the installation's ADC identity from dataDir (made there on first use), which ADC hubs need; without it
    // they fail. Logs why and returns false when the folder cannot keep one. Blocks on the disk briefly.
    bool LoadAdcIdentity(const std::string& dataDir);

    // Replaces the idle worker pool with one whose waits on real hubs are these; tests shorten them.
    void SetExchangeTimings(const HubExchangeTimings& timings);
    // Looks for the home router from now on (in the background) and maps each Automatic run's port there when the
    // machine has no public address of its own, waiting up to discoveryGrace for a search still under way. Without
    // it Automatic finds no router.
    void UseRouter(std::unique_ptr<PortMapper> mapper,
                   std::chrono::milliseconds discoveryGrace = kRouterDiscoveryGrace);
    // Runs order their queue by history (hubs that gave results first, hubs that failed their last three runs last),
    // skip hubs it saw searched within the last minute when settings.SkipRecentHubs, and record every outcome there.
    // history must outlive the session; null: none. Takes effect at the next start.
    void SetHubHistory(HubHistory* history) { m_history = history; }
    // Takes effect at the next start.
    void SetLimits(const ResultLimits& limits) { m_limits = limits; }
    // The filters that follow the search form as results arrive: the size condition shown is "At Most", only
    // results with a free slot are wanted.
    void SetLiveFilter(bool atMostShown, bool onlyFreeSlots);

    RunState State() const { return m_state; }
    // The port of the current or last run; -1 before the first.
    int32_t CurrentUdpPort() const { return m_currentUdpPort; }
    // How the current or last run gets its results; passive before the first.
    const ConnectionPlan& RunPlan() const { return m_plan; }
    // What Automatic found last, for the settings.
    std::string ConnectionFindings() const;
    // Why nothing reached the port of the last run, asked once its hubs are done and a few seconds more have passed;
    // nullopt when something did or it is too early to tell (SilentPortHint).
    std::optional<std::string> SilentPortHintText() const;
    int32_t SearchedCount() const;
    int32_t FailedCount() const;
    // Results accepted since the last start, and those dropped over a limit.
    int32_t ResultCount() const { return m_resultCount; }
    int32_t DroppedCount() const { return m_droppedCount; }

private:
    std::unique_ptr<SearchRunner> MakeRunner(const HubExchangeTimings& timings);
    void BeginRun(const ConnectionPlan& plan, RunValues values);
    void OnRunProgress();
    void CheckConnection();
    // $SR lines hubs relayed in a passive run.
    void OnRelayedLines(const std::vector<std::string_view>& lines);
    // Results ADC hubs relayed, already decoded and filtered.
    void OnAdcResults(const std::vector<SearchResult>& results);
    // Takes a batch that passed the reader (which dropped some over the per-user limit) up to the run's ceiling,
    // counts each result for its hub and reports them.
    void AcceptBatch(const ResultBatch& batch, int32_t dropped);
    // Orders queue by the history and marks the hubs to skip.
    void ArrangeByHistory(HubQueue& queue, bool skipRecent);
    // Takes the outcomes of the hubs counted so far into the tally, following their redirects; true when a
    // redirect target joined the run.
    bool CollectOutcomes();
    void ReportHubOutcomes();
    // Adds to the running queue the hubs that listed hubs of outcomes redirected to, each once; true when any was.
    bool FollowRedirects(const std::vector<HubOutcome>& outcomes);

    GuiThread& m_gui;
    SearchSessionObserver& m_observer;
    std::unique_ptr<ConnectionChooser> m_connection;
    ConnectionPlan m_plan;
    int64_t m_datagramsReceived = 0;  // by the current or last run's port
    bool m_connectionNoted = false;   // the run's connection note was given
    std::unique_ptr<UdpListener> m_listener;
    std::unique_ptr<SearchRunner> m_runner;
    HubQueue* m_queue = nullptr;  // the running run's; null when idle
    RunState m_state = RunState::Idle;
    bool m_closed = false;
    int32_t m_currentUdpPort = -1;
    int64_t m_sizeFilterLow = -1;
    int64_t m_sizeFilterHigh = -1;
    bool m_atMostShown = false;
    bool m_onlyFreeSlots = false;
    std::optional<AdcIdentity> m_adcIdentity;
    // The current or last run's, kept for late answers; none without an identity.
    std::shared_ptr<AdcRun> m_adcRun;
    ResultLimits m_limits;
    RunResultReader m_reader;
    // Filled by the reader on the listener's receiving thread, taken on the GUI thread while that thread waits.
    ResultBatch m_received;
    int32_t m_receivedDropped = 0;
    ResultBatch m_relayed;  // GUI thread
    HubTally m_hubTally;
    HubHistory* m_history = nullptr;
    int64_t m_historyRun = 0;  // the run's number in the history: its start, in Unix milliseconds
    int32_t m_resultCount = 0;
    int32_t m_droppedCount = 0;
    bool m_limitReached = false;
};

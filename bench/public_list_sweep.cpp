// Sweeps a simulated network shaped like today's public hub list with the program's own search session and its
// default settings (15 s time-out, 30 workers, the real echo wait and linger): about 30 % of the hubs answer no
// connect, 10 % refuse it, 5 % have names that do not resolve, 10 % refuse the login, the rest answer searches, each
// hub 20–300 ms late per message. Prints the sweep time, hubs/s, the results received against those the network
// sends, and when the first 50 % and 90 % of them had come; then what the hub history's ordering does to those times
// on a second run, and what the login refusals cost when they held a worker for the whole time-out (as silent hubs
// still do).
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/search/hub_history.h"
#include "engine/search/hub_outcome.h"
#include "engine/search/hub_queue.h"
#include "engine/search/search_session.h"
#include "engine/settings/settings_store.h"
#include "running_testnet.h"
#include "support/fake_gui_thread.h"
#include "support/temp_dir.h"
#include "sweep_setup.h"

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

// The slowest answer path after the run's end: a batching hub's interval, then the users' answer delay.
constexpr auto ResultWait = std::chrono::milliseconds(2500);

struct BenchOptions {
    std::size_t hubs = 800;
    int workers = 30;
    std::chrono::seconds deadline{900};  // per sweep
};

std::optional<BenchOptions> ParseOptions(int argc, char** argv) {
    BenchOptions options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view name = argv[i];
        const std::string_view text = argv[i + 1];
        long value = 0;
        if (std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc{} || value <= 0)
            return std::nullopt;
        if (name == "--hubs") {
            options.hubs = static_cast<std::size_t>(value);
        } else if (name == "--workers") {
            options.workers = static_cast<int>(value);
        } else if (name == "--deadline") {
            options.deadline = std::chrono::seconds(value);
        } else {
            return std::nullopt;
        }
    }
    if (argc % 2 == 0) return std::nullopt;
    return options;
}

// The public list's shape. Before the engine ended a login at the hub's refusal, a refusing hub held its worker
// until the time-out, as a silent hub does: refusalsHold gives the network where the refusing hubs are silent.
PlanOptions PublicListPlan(std::size_t hubs, bool refusalsHold) {
    const std::vector<HubKind> refusals =
        refusalsHold ? std::vector<HubKind>{HubKind::Silent}
                     : std::vector<HubKind>{HubKind::NickTaken, HubKind::Password, HubKind::Full, HubKind::Redirect,
                                            HubKind::ShareRule};
    PlanOptions options;
    options.hubs = hubs;
    options.usersPerHub = 3;
    options.badMix = {
        {0.30, {HubKind::Dead}}, {0.10, {HubKind::ClosedPort}}, {0.05, {HubKind::Unresolvable}}, {0.10, refusals}};
    options.minLatency = std::chrono::milliseconds(20);
    options.maxLatency = std::chrono::milliseconds(300);
    options.adcShare = 0.1;
    options.seed = 1;
    return options;
}

// What a session reported during one sweep: when each result came, each hub's outcome and the run's end.
class SweepRecorder final : public SearchSessionObserver {
public:
    void Begin() { m_started = Clock::now(); }

    void OnProgress(int32_t /*searched*/, int32_t /*failed*/) override {}
    void OnResult(const SearchResult& /*result*/) override {
        std::lock_guard lock(m_mutex);
        m_resultTimes.push_back(Seconds(Clock::now() - m_started).count());
        m_changed.notify_all();
    }
    void OnResultsReported() override {}
    void OnHubOutcomes(const std::vector<HubOutcome>& outcomes) override {
        std::lock_guard lock(m_mutex);
        for (const HubOutcome& outcome : outcomes) m_outcomes[HubListAddress(outcome.host, outcome.port)] = outcome;
    }
    void OnRunEnded() override {
        std::lock_guard lock(m_mutex);
        m_endSeconds = Seconds(Clock::now() - m_started).count();
        m_changed.notify_all();
    }
    void OnResultLimitReached() override {}

    // The run's length, or nullopt when it had not ended by the deadline.
    std::optional<double> WaitForEnd(std::chrono::seconds deadline) {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, deadline, [&] { return m_endSeconds.has_value(); });
        return m_endSeconds;
    }
    // The times of the results received, once count have come or the wait is over.
    std::vector<double> WaitForResults(std::size_t count, std::chrono::milliseconds wait) {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, wait, [&] { return m_resultTimes.size() >= count; });
        return m_resultTimes;
    }
    std::vector<HubOutcome> Outcomes() {
        std::lock_guard lock(m_mutex);
        std::vector<HubOutcome> outcomes;
        for (const auto& entry : m_outcomes) outcomes.push_back(entry.second);
        return outcomes;
    }

private:
    Clock::time_point m_started;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<double> m_resultTimes;
    std::map<std::string, HubOutcome> m_outcomes;
    std::optional<double> m_endSeconds;
};

struct SweepFigures {
    bool loaded = false;
    bool complete = false;
    double seconds = 0;  // from the start to the run's end (to the deadline when it did not end)
    std::vector<double> resultTimes;
    std::vector<HubOutcome> outcomes;
};

// The default settings, with the address results come to, the workers asked for and a port the system chooses;
// recent hubs are searched again, as the same network is swept several times within a minute.
AppSettings SweepSettings(const std::string& dataDir, int workers) {
    AppSettings settings = LoadSettings(dataDir + "/no-settings.ini");
    settings.Nick = "tester";
    settings.IP = "127.0.0.1";
    settings.Connection = ConnectionMode::Active;
    settings.ShareSizeBytes = ShareSizeToBytes(settings.ShareSize);
    settings.Threads = workers;
    settings.MinUDPPort = settings.MaxUDPPort = 0;
    settings.SkipRecentHubs = false;
    return settings;
}

// One run of a search session over the network's list, with the hub history of dataDir ordering the queue and
// recording the outcomes.
SweepFigures SweepOnce(const RunningTestnet& net, const std::string& dataDir, const BenchOptions& options) {
    SweepFigures figures;
    HubQueue queue;
    double loadSeconds = 0;
    figures.loaded = LoadNetworkList(net.Network()->HublistUrl(), queue, loadSeconds);
    if (!figures.loaded) return figures;
    const AppSettings settings = SweepSettings(dataDir, options.workers);
    HubHistory history(dataDir + "/" + kHubHistoryFileName);
    FakeGuiThread gui;
    SweepRecorder recorder;
    SearchSession session(gui, recorder);
    session.LoadAdcIdentity(dataDir);
    RunStart start;
    gui.RunAndWait([&] {
        session.SetHubHistory(&history);
        recorder.Begin();
        start = session.Start(queue, settings, {}, "big buck");
    });
    if (start.failure == RunStartFailure::None) {
        const std::optional<double> end = recorder.WaitForEnd(options.deadline);
        figures.complete = end.has_value();
        figures.seconds = end.value_or(static_cast<double>(options.deadline.count()));
        figures.resultTimes = recorder.WaitForResults(net.ExpectedResults(false), ResultWait);
        figures.outcomes = recorder.Outcomes();
    }
    gui.RunAndWait([&] { session.Stop(); });
    gui.Close();
    session.Shutdown();
    return figures;
}

// When the share of the expected results had come; nullopt when it never did.
std::optional<double> TimeToShare(const SweepFigures& figures, std::size_t expected, double share) {
    const auto needed = static_cast<std::size_t>(std::ceil(share * static_cast<double>(expected)));
    if (needed == 0 || figures.resultTimes.size() < needed) return std::nullopt;
    return figures.resultTimes[needed - 1];
}

std::string SecondsText(std::optional<double> seconds) {
    if (!seconds) return "never";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", *seconds);
    return text;
}

void PrintSweep(const char* name, const SweepFigures& figures, std::size_t hubs, std::size_t expected) {
    if (!figures.loaded) {
        std::printf("%s: the hub list did not load\n", name);
        return;
    }
    std::printf("%s: %.1f s%s, %.1f hubs/s, %zu hubs reported, results %zu of %zu, 50 %% after %s, 90 %% after %s\n",
                name, figures.seconds, figures.complete ? "" : " (DEADLINE: stopped)",
                static_cast<double>(hubs) / figures.seconds, figures.outcomes.size(), figures.resultTimes.size(),
                expected, SecondsText(TimeToShare(figures, expected, 0.5)).c_str(),
                SecondsText(TimeToShare(figures, expected, 0.9)).c_str());
    std::fflush(stdout);
}

// Where the sweep's time goes: the worker-seconds of each outcome, spread over the workers. Hubs whose login times
// out hold a worker for the whole time-out, searched hubs for their login (the linger after $Search holds none);
// connects that are never answered wait on the network loop, many at once, and hold no worker; the other failures
// end within a round trip or two.
void PrintTimeBreakdown(const SweepFigures& figures, const BenchOptions& options, int32_t timeoutSeconds) {
    struct Load {
        int hubs = 0;
        std::optional<double> workerSeconds;
    };
    std::map<std::string, Load> byReason;
    for (const HubOutcome& outcome : figures.outcomes) {
        Load& load = byReason[DescribeReason(outcome.reason)];
        ++load.hubs;
        if (outcome.reason == HubReason::LoginTimedOut)
            load.workerSeconds = load.workerSeconds.value_or(0) + timeoutSeconds;
        else if (outcome.reason == HubReason::Searched)
            load.workerSeconds = load.workerSeconds.value_or(0) + Seconds(outcome.timeToSearch).count();
    }
    std::printf("  where the first run's time goes (worker-seconds / %d workers):\n", options.workers);
    double total = 0;
    for (const auto& [reason, load] : byReason) {
        if (reason == DescribeReason(HubReason::NoAnswer)) {
            std::printf("    %-22s %4d hubs  no worker: %d s each on the network loop, many at once\n", reason.c_str(),
                        load.hubs, timeoutSeconds);
            continue;
        }
        if (!load.workerSeconds) {
            std::printf("    %-22s %4d hubs  end at once\n", reason.c_str(), load.hubs);
            continue;
        }
        total += *load.workerSeconds / options.workers;
        std::printf("    %-22s %4d hubs  %7.1f s\n", reason.c_str(), load.hubs, *load.workerSeconds / options.workers);
    }
    std::printf(
        "    together %.1f s of the %.1f s sweep; the rest is waiting for the time-outs of the last connects "
        "never answered, and the last linger\n",
        total, figures.seconds);
    std::fflush(stdout);
}

void PrintRatio(const char* name, std::optional<double> numerator, std::optional<double> denominator) {
    if (!numerator || !denominator || *denominator <= 0) {
        std::printf("  %s: not measurable\n", name);
        return;
    }
    std::printf("  %s: %.2f (%.1f s / %.1f s)\n", name, *numerator / *denominator, *numerator, *denominator);
}

void PrintMix(const NetworkPlan& plan) {
    std::map<HubKind, int> kinds;
    for (const HubPlan& hub : plan.Hubs()) ++kinds[hub.kind];
    const int behaving = kinds[HubKind::SupportsFirst] + kinds[HubKind::StrictKey];
    const int refusing = kinds[HubKind::NickTaken] + kinds[HubKind::Password] + kinds[HubKind::Full] +
                         kinds[HubKind::Redirect] + kinds[HubKind::ShareRule];
    std::printf(
        "  %zu hubs: %d dead, %d closed ports, %d unresolvable, %d refusing the login, %d silent, %d searched\n",
        plan.Hubs().size(), kinds[HubKind::Dead], kinds[HubKind::ClosedPort], kinds[HubKind::Unresolvable], refusing,
        kinds[HubKind::Silent], behaving);
}

struct FirstAndSecondRuns {
    SweepFigures first;
    SweepFigures ordered;    // second run, ordered by the first run's history
    SweepFigures unordered;  // second run with a fresh data folder
};

FirstAndSecondRuns SweepWithAndWithoutHistory(const RunningTestnet& net, const BenchOptions& options,
                                              std::size_t expected) {
    FirstAndSecondRuns runs;
    const TempDir kept;
    runs.first = SweepOnce(net, kept.Path(), options);
    PrintSweep("first run", runs.first, options.hubs, expected);
    runs.ordered = SweepOnce(net, kept.Path(), options);
    PrintSweep("second run, ordered by the history", runs.ordered, options.hubs, expected);
    const TempDir fresh;
    runs.unordered = SweepOnce(net, fresh.Path(), options);
    PrintSweep("second run, fresh data folder", runs.unordered, options.hubs, expected);
    return runs;
}

std::optional<double> CompleteSeconds(const SweepFigures& figures) {
    if (!figures.loaded || !figures.complete) return std::nullopt;
    return figures.seconds;
}

// Starts the network the plan makes, prints its mix and runs sweep over it; false when it did not start.
template <typename SweepOver>
bool OnNetwork(const PlanOptions& plan, SweepOver&& sweep) {
    const RunningTestnet net(plan);
    if (!net.Network()) {
        std::printf("the network did not start: %s\n", net.Error().c_str());
        return false;
    }
    PrintMix(net.Plan());
    std::forward<SweepOver>(sweep)(net);
    return true;
}

}  // namespace

// --hubs N (800), --workers N (30), --deadline SECONDS per sweep (900).
int main(int argc, char** argv) {
    const std::optional<BenchOptions> options = ParseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: %s [--hubs N] [--workers N] [--deadline SECONDS]\n", argv[0]);
        return 2;
    }
    RaiseOpenFileLimit();
    const int32_t timeout = SweepSettings(TempDir().Path(), options->workers).SearchTimeout;
    std::printf("public list sweep: %d workers, time-out %d s, echo wait and linger as the program's\n",
                options->workers, timeout);
    FirstAndSecondRuns runs;
    std::size_t expected = 0;
    const bool started = OnNetwork(PublicListPlan(options->hubs, false), [&](const RunningTestnet& net) {
        expected = net.ExpectedResults(false);
        runs = SweepWithAndWithoutHistory(net, *options, expected);
        PrintTimeBreakdown(runs.first, *options, timeout);
    });
    SweepFigures before;
    const bool startedAgain = OnNetwork(PublicListPlan(options->hubs, true), [&](const RunningTestnet& net) {
        const TempDir dataDir;
        before = SweepOnce(net, dataDir.Path(), *options);
        PrintSweep("refusals held until the time-out", before, options->hubs, net.ExpectedResults(false));
    });
    if (!started || !startedAgain) return 1;
    std::printf("ratios:\n");
    PrintRatio("time to 50 % of the results, second run ordered / fresh", TimeToShare(runs.ordered, expected, 0.5),
               TimeToShare(runs.unordered, expected, 0.5));
    PrintRatio("time to 90 % of the results, second run ordered / fresh", TimeToShare(runs.ordered, expected, 0.9),
               TimeToShare(runs.unordered, expected, 0.9));
    PrintRatio("sweep time, refusals held / refusals ending the login", CompleteSeconds(before),
               CompleteSeconds(runs.first));
    return 0;
}

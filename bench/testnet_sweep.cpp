// Sweeps the simulated network of hubsift-testnet, running in this process on a thread of its own, the way the
// program does: the hub list comes over HTTP, bzip2-compressed, through the refresh thread and the list loader, and
// the run control searches every hub with its connection workers while a UDP listener counts the $SR messages that
// the hubs' users send back. Each sweep is run once with the protocol's own waits (echo wait 2 s, which these hubs
// end by echoing at once, and the 2 s linger after $Search) and once with the linger cut to 0 ms, which measures
// the workers but lets the batching hubs drop the search of a user who has already left. The "dead" scenarios
// list a third of hubs that never answer a connect (until the run's time-out), as a public list has them.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/net/udp_listener.h"
#include "engine/search/hub_exchange.h"
#include "engine/search/search_runner.h"
#include "running_testnet.h"
#include "support/fake_gui_thread.h"
#include "sweep_setup.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::size_t UsersPerHub = 3;
// The slowest answer path after the last $Search: a batching hub's interval, then the users' answer delay.
constexpr auto ResultWait = 2500ms;
constexpr auto SweepDeadline = 120s;

const HubExchangeTimings RealTimings{};
const HubExchangeTimings ShortTimings{2000ms, 0ms};

struct NetworkSweep {
    double seconds = 0;  // until every hub was counted
    int searched = 0;
    int failed = 0;
    bool complete = false;
    std::size_t results = 0;  // $SR messages received until ResultWait after the sweep
};

// One run of the run control over queue, with the GUI hand-over after every hub, and a UDP listener of its own
// (a fresh port, so late answers of an earlier sweep do not count) that counts the $SR messages.
NetworkSweep RunnerSweep(HubQueue& queue, int workers, const HubExchangeTimings& timings, std::size_t expectedResults,
                         bool passive) {
    FakeGuiThread gui;
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t results = 0;
    const auto count = [&](const std::vector<std::string_view>& datagrams) {
        std::size_t found = 0;
        for (const std::string_view datagram : datagrams) {
            for (std::size_t at = 0; (at = datagram.find("$SR ", at)) != std::string_view::npos; at += 4) ++found;
        }
        std::lock_guard lock(mutex);
        results += found;
        changed.notify_all();
    };
    UdpListener listener(gui, count);
    listener.Activate("127.0.0.1", 0);
    const int32_t udpPort = listener.BoundPort();
    SweepCompletion completion(queue);
    SearchRunner runner(gui, completion.Update(), timings);
    runner.SetRelayedResultHandler(count);
    completion.Watch(runner);
    runner.ResizePool(workers);
    NetworkSweep sweep;
    RunValues values = SweepValues(udpPort);
    values.Passive = passive;
    const auto started = Clock::now();
    runner.Start(queue, values);
    sweep.complete = completion.Wait(SweepDeadline);
    sweep.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, ResultWait, [&] { return results >= expectedResults; });
        sweep.results = results;
    }
    gui.RunAndWait([&] { listener.Deactivate(); });
    gui.Close();
    sweep.searched = runner.SearchedCount();
    sweep.failed = runner.FailedCount();
    runner.Shutdown();
    return sweep;
}

// Mean time of one exchange with one hub while nothing else runs, over several hubs of the list.
double SingleExchangeSeconds(const RunningTestnet& net, const HubExchangeTimings& timings, int samples) {
    TcpClient client;
    const RunValues values = SweepValues(9);
    const auto& ports = net.Network()->HubPorts();
    const auto started = Clock::now();
    for (int i = 0; i < samples; ++i) {
        RunHubExchange(client, "127.0.0.1", ports[static_cast<std::size_t>(i) % ports.size()], values, timings,
                       [] { return true; });
    }
    return std::chrono::duration<double>(Clock::now() - started).count() / samples;
}

struct Scenario {
    const char* name;
    std::size_t hubs;
    double badShare;
    std::chrono::milliseconds latency;
    HubExchangeTimings timings;
    std::vector<int> workers;
    bool passive = false;  // results relayed by the hubs during the passive window
    // The share of hubs that never answer a connect (a public list has about a third of them).
    double deadShare = 0;
};

void RunScenario(const Scenario& scenario) {
    PlanOptions options;
    options.hubs = scenario.hubs;
    options.usersPerHub = UsersPerHub;
    options.badShare = scenario.badShare;
    if (scenario.deadShare > 0) options.badMix = {KindShare{scenario.deadShare, {HubKind::Dead}}};
    options.seed = 1;
    const RunningTestnet net(options, scenario.latency);
    if (!net.Network()) {
        std::printf("%s: the network did not start: %s\n", scenario.name, net.Error().c_str());
        return;
    }
    HubQueue queue;
    double loadSeconds = 0;
    const bool loaded = LoadNetworkList(net.Network()->HublistUrl(), queue, loadSeconds);
    const int expectedSearched = net.ForwardingHubs();
    const std::size_t expectedResults = net.ExpectedResults(scenario.passive);
    std::printf(
        "%s: %zu hubs (%d forward searches), %zu users per hub, latency %lld ms, echo wait %lld ms, linger %lld ms\n"
        "  hub list over HTTP + bzip2 + loader: %s, %d hubs in the queue, %.3f s; %zu results expected, %zu of them "
        "from batching hubs\n",
        scenario.name, scenario.hubs, expectedSearched, UsersPerHub, static_cast<long long>(scenario.latency.count()),
        static_cast<long long>(scenario.timings.EchoWait.count()),
        static_cast<long long>(scenario.timings.Linger.count()), loaded ? "ok" : "FAILED", queue.Count(), loadSeconds,
        expectedResults, net.BatchedResults());
    if (!loaded || queue.Count() != static_cast<int32_t>(scenario.hubs)) return;
    double perHub = 0;
    if (scenario.badShare == 0 && scenario.deadShare == 0) {
        // With the real linger each sample costs 2 s: a few are enough, the rest is round trips.
        perHub = SingleExchangeSeconds(net, scenario.timings, scenario.timings.Linger.count() > 0 ? 3 : 20);
        std::printf("  one exchange alone: %.1f ms\n", perHub * 1000);
    }
    for (const int workers : scenario.workers) {
        const NetworkSweep sweep = RunnerSweep(queue, workers, scenario.timings, expectedResults, scenario.passive);
        std::printf(
            "  %3d workers: %6.2f s%s, %6.0f hubs/s, %d searched + %d failed (expected %d searched, %d "
            "lost), $SR received %zu of %zu",
            workers, sweep.seconds, sweep.complete ? "" : " (NOT COMPLETE)",
            static_cast<double>(queue.Count()) / sweep.seconds, sweep.searched, sweep.failed, expectedSearched,
            expectedSearched - sweep.searched, sweep.results, expectedResults);
        if (perHub > 0) {
            // The design where each hub holds a worker for its whole exchange, linger included.
            const double heldWorkers = static_cast<double>(scenario.hubs) * perHub / workers;
            std::printf(", a worker held per exchange %.2f s (%.1fx that)", heldWorkers, heldWorkers / sweep.seconds);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
}

}  // namespace

// Arguments, if any, pick the scenarios whose name holds one of them, e.g. "bad hubs only".
int main(int argc, char** argv) {
    RaiseOpenFileLimit();
    const std::vector<Scenario> scenarios{
        {"fast hubs, linger cut", 2000, 0.0, 0ms, ShortTimings, {30, 100}},
        {"20 ms hubs, linger cut", 2000, 0.0, 20ms, ShortTimings, {30, 100}},
        {"fast hubs, real waits", 500, 0.0, 0ms, RealTimings, {30, 100}},
        {"20 ms hubs, real waits", 500, 0.0, 20ms, RealTimings, {30, 100}},
        {"default bad share, linger cut", 1000, PlanOptions{}.badShare, 0ms, ShortTimings, {100}},
        {"default bad share, real waits", 500, PlanOptions{}.badShare, 0ms, RealTimings, {100}},
        // Passive against active on the same network: the 5 s window against the 2 s linger.
        {"passive, real waits", 500, 0.0, 0ms, RealTimings, {30, 100}, true},
        // Five hubs of each bad kind: the time hubs that have said no still hold a worker.
        {"bad hubs only, linger cut", 50, 1.0, 0ms, ShortTimings, {10}},
        // A third of the hubs never answer a connect: the time they hold workers until their time-out.
        {"dead third, linger cut", 500, 0.0, 0ms, ShortTimings, {30}, false, 0.3},
        {"dead third, real waits", 500, 0.0, 20ms, RealTimings, {30}, false, 0.3},
    };
    const auto started = Clock::now();
    const std::vector<std::string_view> picks(argv + 1, argv + argc);
    for (const Scenario& scenario : scenarios) {
        const auto picked = [&](std::string_view pick) {
            return std::string_view(scenario.name).find(pick) != std::string_view::npos;
        };
        if (picks.empty() || std::any_of(picks.begin(), picks.end(), picked)) RunScenario(scenario);
    }
    std::printf("total %.1f s\n", std::chrono::duration<double>(Clock::now() - started).count());
    return 0;
}

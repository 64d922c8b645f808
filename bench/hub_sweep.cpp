// Sweeps 2,000 fake hubs on loopback with the search run control and compares it with bare threads doing the
// same exchanges without the GUI hand-over, then repeats with hubs that answer each message after 20 ms.
// The echo wait stays 2 s (the fake hubs echo at once) and the linger after $Search is cut to 0 ms, so that the
// figures measure the workers and not the protocol's fixed waits.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "engine/search/hub_exchange.h"
#include "engine/search/search_runner.h"
#include "support/fake_gui_thread.h"
#include "support/fake_hub.h"
#include "sweep_setup.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int HubCount = 2000;
// The machine is shared and one sweep of fast hubs lasts well under a second: alternate the two kinds of sweep
// and report the median of several rounds.
constexpr int Rounds = 7;
const HubExchangeTimings SweepTimings{2000ms, 0ms};

// The same exchanges on bare threads: no wake events, no counters per run, no GUI hand-over.
Sweep BareSweep(HubQueue& queue, int workers) {
    queue.Rewind();
    const RunValues values = SweepValues(1025);
    std::atomic<int> searched{0};
    const auto started = Clock::now();
    std::vector<std::thread> threads;
    for (int i = 0; i < workers; ++i) {
        threads.emplace_back([&] {
            TcpClient client;
            while (const HubEntry* hub = queue.NextHub()) {
                const ExchangeResult result = RunHubExchange(client, std::string(hub->Host), hub->Port, values,
                                                             SweepTimings, [] { return true; });
                if (result.end == ExchangeEnd::Searched) ++searched;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    return {std::chrono::duration<double>(Clock::now() - started).count(), searched.load()};
}

// Mean time of one exchange with one slow hub, nothing else running.
double SingleExchangeSeconds(FakeHubServer& server, int hub) {
    constexpr int Samples = 20;
    TcpClient client;
    const RunValues values = SweepValues(1025);
    const auto started = Clock::now();
    for (int i = 0; i < Samples; ++i)
        RunHubExchange(client, "127.0.0.1", server.Port(hub), values, SweepTimings, [] { return true; });
    return std::chrono::duration<double>(Clock::now() - started).count() / Samples;
}

void FillQueue(FakeHubServer& server, HubQueue& queue, const FakeHubBehaviour& behaviour) {
    for (int i = 0; i < HubCount; ++i) queue.AddHub("127.0.0.1", server.Port(server.AddHub(behaviour)));
}

}  // namespace

int main() {
    RaiseOpenFileLimit();
    std::printf("hub sweep over %d fake hubs on loopback (echo wait 2 s, linger 0 ms)\n", HubCount);
    {
        FakeHubServer server;
        HubQueue queue;
        FillQueue(server, queue, FakeHubBehaviour{});
        for (const int workers : {30, 100}) {
            std::vector<double> bareSeconds, runSeconds;
            int lost = 0;
            for (int round = 0; round < Rounds; ++round) {
                const Sweep bare = BareSweep(queue, workers);
                const Sweep run = RunnerSweep(queue, SweepValues(1025), workers, SweepTimings);
                lost += 2 * HubCount - bare.searched - run.searched;
                bareSeconds.push_back(bare.seconds);
                runSeconds.push_back(run.seconds);
            }
            const double bare = Median(bareSeconds), run = Median(runSeconds);
            std::printf(
                "fast hubs, %3d workers: run control %6.0f hubs/s, bare threads %6.0f hubs/s, ratio %.2f "
                "(target >= 0.70), medians of %d rounds, %d hubs not searched\n",
                workers, HubCount / run, HubCount / bare, bare / run, Rounds, lost);
        }
    }
    {
        FakeHubServer server;
        FakeHubBehaviour slow;
        slow.answerDelay = 20ms;
        HubQueue queue;
        FillQueue(server, queue, slow);
        const double perHub = SingleExchangeSeconds(server, 0);
        for (const int workers : {30, 100}) {
            const Sweep run = RunnerSweep(queue, SweepValues(1025), workers, SweepTimings);
            // Bare threads over the same hubs show how much of a shortfall the fake hubs themselves cause.
            const Sweep bare = BareSweep(queue, workers);
            const double ideal = HubCount * perHub / workers;
            std::printf(
                "20 ms hubs, %3d workers: %.2f s (%d searched), one exchange %.1f ms, ideal %.2f s, "
                "efficiency %.2f (target >= 0.90); bare threads %.2f s, efficiency %.2f\n",
                workers, run.seconds, run.searched, perHub * 1000, ideal, ideal / run.seconds, bare.seconds,
                ideal / bare.seconds);
        }
    }
    return 0;
}

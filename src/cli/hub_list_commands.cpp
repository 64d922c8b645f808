#include "cli/hub_list_commands.h"

#include <atomic>
#include <cstdint>

#include "cli/console_signals.h"
#include "cli/serial_step_runner.h"
#include "engine/hublist/hublist_loader.h"
#include "engine/hublist/hublist_refresh_thread.h"
#include "engine/results/size_format.h"
#include "engine/search/hub_queue.h"

bool LoadStoredHubList(const std::string& dataDir, HubQueue& queue, std::ostream& err) {
    const std::string path = HubListPath(dataDir);
    const HubListLoad load = LoadHubList(path, queue);
    if (!load.read) {
        err << "hubsift-cli: no hub list in " << dataDir << " (run: hubsift-cli refresh)\n";
        return false;
    }
    if (load.failed) {
        err << "hubsift-cli: the hub list " << path << " is malformed\n";
        return false;
    }
    return true;
}

int ListHubs(const std::string& dataDir, std::ostream& out, std::ostream& err) {
    HubQueue queue;
    if (!LoadStoredHubList(dataDir, queue, err)) return 1;
    queue.Rewind();
    while (const HubEntry* hub = queue.NextHub()) out << hub->Host << ':' << hub->Port << '\n';
    return 0;
}

int RefreshHubList(const std::string& url, const std::string& dataDir, ConsoleSignals& signals, std::ostream& out,
                   std::ostream& err, bool progress) {
    SerialStepRunner steps;
    std::atomic<bool> completed{false};
    HublistRefreshResult result;
    int64_t announced = 0;
    HublistRefreshSteps refreshSteps;
    if (progress) {
        refreshSteps.TransferBegins = [&](int64_t size) { announced = size; };
        refreshSteps.TransferProgresses = [&](int64_t count) {
            err << "\rDownloading the hub list: " << SizeText(count, ".");
            if (announced > 0) err << " of " << SizeText(announced, ".");
            err << "\x1b[K" << std::flush;
        };
        refreshSteps.TransferEnds = [&] { err << '\n'; };
    }
    refreshSteps.Completed = [&](const HublistRefreshResult& ended) {
        result = ended;
        completed = true;
        signals.Wake();
    };
    HublistRefreshThread refresh(steps, url, dataDir, refreshSteps);
    bool interrupted = false;
    while (!completed && !interrupted) interrupted = signals.Wait() == ConsoleSignals::Event::Interrupted;
    if (interrupted) {
        refresh.Cancel();
        steps.Close();
        refresh.Wait();
        if (progress) err << "\r\x1b[K";
        err << "hubsift-cli: refresh interrupted; the stored hub list is unchanged\n";
        return kInterruptedExitCode;
    }
    refresh.Wait();
    if (result.outcome != HublistRefreshResult::Outcome::Replaced) {
        err << "hubsift-cli: the hub list could not be downloaded from " << url << ": " << result.reason << '\n';
        return 1;
    }
    HubQueue queue;
    if (!LoadStoredHubList(dataDir, queue, err)) return 1;
    out << queue.Count() << " hubs in the list\n";
    return 0;
}

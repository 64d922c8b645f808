// 10,000 hubs into the hub report while it is shown, sorted by results and filtered to searched hubs: the longest
// tick (staged outcomes into the model, then a repaint) and the whole feed, against feeding the model one outcome
// at a time as the session hands them over. Prints figures; not run by the tests.
#include <QApplication>
#include <QSortFilterProxyModel>
#include <QTableView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ui/report/hub_report_model.h"
#include "ui/report/hub_report_window.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kHubs = 10000;
// What reaches the window between two ticks in a fast sweep: hubs that ended, and as many result updates.
constexpr int kPerTick = 500;

HubOutcome Hub(int number, int results) {
    HubOutcome outcome;
    outcome.host = "hub" + std::to_string(number) + ".example";
    outcome.port = 411;
    outcome.name = "Hub number " + std::to_string(number);
    outcome.users = number % 700;
    outcome.reason = number % 3 == 0 ? HubReason::NoAnswer : HubReason::Searched;
    outcome.timeToSearch = std::chrono::milliseconds(number % 900);
    outcome.results = results;
    return outcome;
}

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Feed {
    double longestTick = 0;
    double total = 0;
};

// Feeds the hubs in ticks of kPerTick new hubs plus kPerTick result updates of earlier ones; each tick ends with a
// repaint. outcomesPerCall: how many outcomes one model call takes (the staged window takes a whole tick).
Feed FeedReport(HubReportWindow& window, int outcomesPerCall) {
    Feed feed;
    window.Clear();
    for (int first = 0; first < kHubs; first += kPerTick) {
        std::vector<HubOutcome> tick;
        for (int hub = first; hub < first + kPerTick; ++hub) tick.push_back(Hub(hub, 0));
        for (int update = 0; update < kPerTick && first > 0; ++update) tick.push_back(Hub((update * 7919) % first, 5));
        const auto start = Clock::now();
        for (std::size_t at = 0; at < tick.size(); at += static_cast<std::size_t>(outcomesPerCall)) {
            const auto end = std::min(tick.size(), at + static_cast<std::size_t>(outcomesPerCall));
            window.AddOutcomes(std::vector<HubOutcome>(tick.begin() + static_cast<std::ptrdiff_t>(at),
                                                       tick.begin() + static_cast<std::ptrdiff_t>(end)));
            if (outcomesPerCall < kPerTick) window.ShowStaged();
        }
        window.ShowStaged();
        window.m_table->viewport()->repaint();
        const double took = MillisecondsSince(start);
        feed.longestTick = std::max(feed.longestTick, took);
        feed.total += took;
    }
    return feed;
}

}  // namespace

int main(int argc, char** argv) {
    // Before any thread exists, so changing the environment is safe.
    // NOLINTNEXTLINE(concurrency-mt-unsafe)
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    HubReportWindow window(nullptr);
    window.Open(HubReportWindow::Shown::Searched);
    window.m_table->sortByColumn(HubReportModel::Results, Qt::DescendingOrder);
    QApplication::processEvents();

    const Feed staged = FeedReport(window, kPerTick * 2);
    const Feed single = FeedReport(window, 1);
    std::printf("%d hubs, %d new and %d updated per tick, shown sorted by results and filtered to searched hubs\n",
                kHubs, kPerTick, kPerTick);
    std::printf("batched per tick:     longest tick %.1f ms, whole feed %.0f ms\n", staged.longestTick, staged.total);
    std::printf("one outcome per call: longest tick %.1f ms, whole feed %.0f ms (%.1fx the batched feed)\n",
                single.longestTick, single.total, single.total / staged.total);
    return 0;
}

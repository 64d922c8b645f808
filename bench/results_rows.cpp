// One million result rows through the list: memory per row (60-character paths), appending, the first and a later
// Path column fit, and a header-click sort by each column in both directions. Prints figures; not run by the tests.
#include <malloc.h>

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "engine/results/result_column.h"
#include "engine/results/sr_decoder.h"
#include "results_data.h"
#include "ui/results/result_list_view.h"
#include "ui/results/result_model.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::size_t HeapInUse() {
    return mallinfo2().uordblks + mallinfo2().hblkhd;
}

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    constexpr int kRows = 1000000;

    std::mt19937 random(11);
    std::vector<SearchResult> results;
    results.reserve(kRows);
    while (static_cast<int>(results.size()) < kRows) {
        DecodeDatagram(GeneratedSrMessage(random), {}, [&results](const SearchResult& result) {
            results.push_back(result);
            return true;
        });
    }

    ResultListView view;
    view.resize(1000, 600);
    view.StopFillingPathColumn();
    const std::size_t heapBefore = HeapInUse();
    auto start = Clock::now();
    for (const SearchResult& result : results) view.Append(result);
    const double append = SecondsSince(start);
    const std::size_t heapAfter = HeapInUse();
    std::printf("append %d rows through the model and view: %.3f s, %.0f rows/s\n", kRows, append, kRows / append);
    std::printf("memory: %.1f bytes per row (heap in use, 60-character paths)\n",
                static_cast<double>(heapAfter - heapBefore) / kRows);

    start = Clock::now();
    view.FitPathColumn();
    std::printf("first Path fit over all rows: %.3f s\n", SecondsSince(start));
    for (int i = 0; i < 1000; ++i) view.Append(results[static_cast<std::size_t>(i)]);
    start = Clock::now();
    view.FitPathColumn();
    std::printf("Path fit after 1000 more rows: %.6f s\n", SecondsSince(start));

    const char* const names[] = {"Filename", "Size", "Slots", "User", "Hub IP Address", "Path", "TTH"};
    for (int column = 0; column < kResultColumnCount; ++column) {
        for (int click = 0; click < 2; ++click) {
            const bool descending = view.NextSortDescending(column);
            start = Clock::now();
            view.OnHeaderClicked(column);
            std::printf("sort by %-15s %-10s %.3f s\n", names[column], descending ? "descending" : "ascending",
                        SecondsSince(start));
        }
    }
    return 0;
}

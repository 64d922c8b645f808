// What a user does with a million result rows: group identical files, filter live, export to CSV and JSON. Each
// figure is also given as a ratio to a plain pass that reads every row's name and path once. Prints figures; not run
// by the tests.
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "best_seconds.h"
#include "engine/results/dc_links.h"
#include "engine/results/file_groups.h"
#include "engine/results/live_filter.h"
#include "engine/results/result_export.h"
#include "engine/results/result_store.h"
#include "engine/results/sr_decoder.h"
#include "results_data.h"

namespace {

constexpr std::size_t kRows = 1000000;

// A hash-like TTH for number n; the last character keeps the 192-bit tail clear.
std::string TthFor(uint32_t n) {
    static constexpr char kBase32[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";
    std::string tth(kTthLength, 'A');
    uint64_t state = n * 0x9E3779B97F4A7C15ULL + 1;
    for (std::size_t i = 0; i + 1 < kTthLength; ++i) {
        state ^= state >> 29;
        state *= 0xBF58476D1CE4E5B9ULL;
        tth[i] = kBase32[state % 32];
    }
    tth.back() = 'Q';
    return tth;
}

}  // namespace

int main() {
    std::mt19937 random(7);
    ResultStore store;
    // Two rows in three carry a TTH from a pool of 200,000 files, so popular files have several sources.
    std::vector<std::string> tthPool;
    for (uint32_t i = 0; i < 200000; ++i) tthPool.push_back(TthFor(i));
    while (store.Count() < kRows) {
        DecodeDatagram(GeneratedSrMessage(random), {}, [&](const SearchResult& decoded) {
            SearchResult result = decoded;
            result.Tth = random() % 3 == 0 || result.Size < 0 ? std::string() : tthPool[random() % 200000];
            store.Append(result);
            return store.Count() < kRows;
        });
    }

    std::size_t bytesRead = 0;
    const double plainPass = BestSeconds([&] {
        bytesRead = 0;
        for (std::size_t i = 0; i < kRows; ++i) {
            const ResultRow row = store.Row(i);
            for (const char c : row.FileName) bytesRead += static_cast<unsigned char>(c) & 1;
            for (const char c : row.Path) bytesRead += static_cast<unsigned char>(c) & 1;
        }
    });
    std::printf("baseline, a plain pass over %zu rows' names and paths: %.3f s (checksum %zu)\n", kRows, plainPass,
                bytesRead);

    std::size_t groups = 0;
    const double grouping = BestSeconds([&] {
        FileGroups fileGroups(store);
        for (std::size_t i = 0; i < kRows; ++i) fileGroups.Add(static_cast<uint32_t>(i));
        groups = fileGroups.Count();
    });
    std::printf("group identical files: %.3f s (%.1f x baseline), %zu groups\n", grouping, grouping / plainPass,
                groups);

    for (const char* query : {"remaster", "live music -flac 19", "zzzz"}) {
        const LiveFilter filter(query);
        std::vector<uint32_t> shown;
        const double filtering = BestSeconds([&] {
            shown.clear();
            filter.AppendMatchingRows(store, 0, kRows, shown);
        });
        std::printf("filter \"%s\": %.3f s (%.1f x baseline), %zu rows shown\n", query, filtering,
                    filtering / plainPass, shown.size());
    }

    for (const ExportFormat format : {ExportFormat::kCsv, ExportFormat::kJson}) {
        std::size_t bytes = 0;
        const double exporting = BestSeconds([&] {
            bytes = 0;
            ResultExporter exporter(format, [&bytes](std::string_view chunk) {
                bytes += chunk.size();
                return true;
            });
            for (std::size_t i = 0; i < kRows; ++i) exporter.Add(store.Row(i));
            exporter.Finish();
        });
        std::printf("export %s to memory: %.3f s (%.1f x baseline), %.0f MB/s, %.0f MB\n",
                    format == ExportFormat::kCsv ? "CSV " : "JSON", exporting, exporting / plainPass,
                    static_cast<double>(bytes) / exporting / 1e6, static_cast<double>(bytes) / 1e6);
    }
    return 0;
}

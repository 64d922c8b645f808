// Loading speed and memory of LoadHubList on generated lists of 10,000 and 100,000 hubs, against a bare libxml2
// reader pass over the same file. Prints figures; not run by the tests.
#include <libxml/xmlreader.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "best_seconds.h"
#include "engine/hublist/hublist_loader.h"
#include "engine/search/hub_queue.h"
#include "generated_hublist.h"

namespace {

// The same work minus the hub list: read the file whole, one reader pass over every node.
long BareReaderPass(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    xmlTextReaderPtr reader = xmlReaderForMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                                                 XML_PARSE_NONET | XML_PARSE_NOENT);
    long nodes = 0;
    while (xmlTextReaderRead(reader) == 1) ++nodes;
    xmlFreeTextReader(reader);
    return nodes;
}

long StatusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word)
        if (word == key) {
            long kb = 0;
            status >> kb;
            return kb;
        }
    return -1;
}

// Runs in a fresh process (re-executed), so that the high-water mark belongs to this load alone. The queue alone is
// counted in heap bytes (malloc chunks in use) while filling it with the same hosts from a list loaded beforehand.
int MeasureMemory(const std::string& mode, const char* path) {
    if (mode == "queue") {
        std::vector<std::string> hosts;
        {
            HubQueue loaded;
            LoadHubList(path, loaded);
            while (const HubEntry* hub = loaded.NextHub()) hosts.emplace_back(hub->Host);
        }
        const auto before = mallinfo2().uordblks;
        HubQueue queue;
        for (const std::string& host : hosts) queue.AddHub(host, 411);
        std::printf("%zu %d\n", mallinfo2().uordblks - before, queue.Count());
        return 0;
    }
    // Resets the high-water mark to the current size (Linux 4.0 and later).
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = StatusKb("VmRSS:");
    HubQueue queue;
    LoadHubList(path, queue);
    const long peak = StatusKb("VmHWM:");
    std::printf("%ld %d\n", (peak - before) * 1024, queue.Count());
    return 0;
}

long PeakGrowthBytes(const std::string& mode, const std::string& path) {
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return -1;
    const std::string command = std::string(self) + " --measure-" + mode + " '" + path + "'";
    FILE* child = popen(command.c_str(), "r");
    long bytes = -1;
    int hubs = 0;
    if (child != nullptr && std::fscanf(child, "%ld %d", &bytes, &hubs) != 2) bytes = -1;
    if (child != nullptr) pclose(child);
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]).rfind("--measure-", 0) == 0)
        return MeasureMemory(std::string(argv[1]).substr(10), argv[2]);
    for (int hubs : {10000, 100000}) {
        const std::string path = "/tmp/hubsift-bench-hublist-" + std::to_string(getpid()) + ".xml";
        const std::string text = GeneratedHublist(hubs);
        std::ofstream(path, std::ios::binary) << text;
        int loaded = 0;
        const double load = BestSeconds([&] {
            HubQueue queue;
            LoadHubList(path, queue);
            loaded = queue.Count();
        });
        const double bare = BestSeconds([&] { BareReaderPass(path); });
        const long growth = PeakGrowthBytes("load", path);
        const long queueOnly = PeakGrowthBytes("queue", path);
        const long budget = static_cast<long>(text.size()) + 100L * hubs;
        std::printf(
            "%6d hubs, file %.1f MB: LoadHubList %.1f ms (%.0f hubs/s, %d loaded), bare reader %.1f ms, "
            "ratio %.2f (target <= 1.5)\n",
            hubs, static_cast<double>(text.size()) / 1e6, load * 1e3, hubs / load, loaded, bare * 1e3, load / bare);
        std::printf(
            "        peak RSS growth of a fresh process %.2f MB, budget file + 100 B/hub %.2f MB (%s); "
            "the filled queue alone %.2f MB (%.0f B/hub), the loader beyond file and queue %.2f MB\n",
            static_cast<double>(growth) / 1e6, static_cast<double>(budget) / 1e6,
            growth >= 0 && growth <= budget ? "within" : "ABOVE", static_cast<double>(queueOnly) / 1e6,
            static_cast<double>(queueOnly) / hubs,
            static_cast<double>(growth - queueOnly - static_cast<long>(text.size())) / 1e6);
        std::remove(path.c_str());
    }
    return 0;
}

// Decompression speed of the bzip2 read stream on a generated 100,000-hub list, against `bzip2 -dc > /dev/null`
// on the same file. Prints figures; not run by the tests.
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
#include "engine/hublist/bzip2_stream.h"
#include "generated_hublist.h"

int main() {
    const std::string path = "/tmp/hubsift-bench-hublist-" + std::to_string(getpid()) + ".xml";
    const std::string text = GeneratedHublist(100000);
    std::ofstream(path, std::ios::binary) << text;
    if (std::system(("bzip2 -9 -f '" + path + "'").c_str()) != 0) {
        std::fprintf(stderr, "bzip2 failed\n");
        return 1;
    }
    const std::string compressedPath = path + ".bz2";
    std::ifstream file(compressedPath, std::ios::binary);
    const std::string compressed{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};

    std::size_t produced = 0;
    bool ok = true;
    const double stream = BestSeconds([&] {
        Bzip2ReadStream reader(compressed);
        std::vector<char> buffer(65536);
        produced = 0;
        while (const auto got = reader.Read(buffer.data(), buffer.size())) {
            if (*got == 0) return;
            produced += *got;
        }
        ok = false;
    });
    const std::string command = "bzip2 -dc '" + compressedPath + "' > /dev/null";
    const double tool = BestSeconds([&] {
        if (std::system(command.c_str()) != 0) ok = false;
    });
    std::remove(compressedPath.c_str());
    std::printf(
        "100000 hubs: %.1f MB compressed to %.1f MB; stream %.1f ms (%.1f MB/s of output%s), "
        "bzip2 -dc %.1f ms (%.1f MB/s), ratio %.2f (target <= 1.1)\n",
        static_cast<double>(compressed.size()) / 1e6, static_cast<double>(text.size()) / 1e6, stream * 1e3,
        static_cast<double>(produced) / 1e6 / stream, ok && produced == text.size() ? "" : ", WRONG OUTPUT", tool * 1e3,
        static_cast<double>(text.size()) / 1e6 / tool, stream / tool);
    return ok ? 0 : 1;
}

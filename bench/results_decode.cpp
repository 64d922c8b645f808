// Decoding speed of $SR datagrams into SearchResult on one core, and the cost of the size text that the list
// formats when it paints. Prints figures; not run by the tests.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "best_seconds.h"
#include "engine/nmdc/nmdc_text.h"
#include "engine/results/result_store.h"
#include "engine/results/size_format.h"
#include "engine/results/sr_decoder.h"
#include "results_data.h"

namespace {

// Messages packed into datagrams of at most 8192 bytes, as clients send them; cyrillic: the words in CP1251, as a
// user of a Russian hub shares them.
std::vector<std::string> Datagrams(int messages, bool cyrillic = false) {
    std::mt19937 random(7);
    std::vector<std::string> datagrams(1);
    for (int i = 0; i < messages; ++i) {
        std::string message = GeneratedSrMessage(random) + "|";
        if (cyrillic)
            for (char& c : message)
                if (c >= 'a' && c <= 'z') c = static_cast<char>(0xE0 + (c - 'a'));
        if (datagrams.back().size() + message.size() > 8192) datagrams.emplace_back();
        datagrams.back() += message;
    }
    return datagrams;
}

}  // namespace

int main() {
    constexpr int kMessages = 1000000;
    const std::vector<std::string> datagrams = Datagrams(kMessages);
    long accepted = 0;
    const ResultFilter filter{-1, -1, false, false};

    // The decoding alone, without reading the texts in their hub's encoding: the baseline of the conversion rates.
    const double bare = BestSeconds([&] {
        accepted = 0;
        SearchResult result;
        for (const std::string& datagram : datagrams) {
            std::size_t position = kFirstTokenPosition;
            for (std::string_view message = NextToken(datagram, '|', position); !message.empty();
                 message = NextToken(datagram, '|', position))
                accepted += DecodeSearchResult(message, filter, result) ? 1 : 0;
        }
    });
    std::printf("decode without conversion: %.0f messages/s (%ld accepted)\n", kMessages / bare, accepted);
    const HubEncoding cp1251 = HubEncoding::FromListName("CP1251");
    const HubEncodingFinder findHub = [&cp1251](std::string_view) { return std::optional<HubEncoding>(cp1251); };
    for (const bool cyrillic : {false, true}) {
        const std::vector<std::string> converted = cyrillic ? Datagrams(kMessages, true) : datagrams;
        const double seconds = BestSeconds([&] {
            for (const std::string& datagram : converted)
                DecodeDatagram(
                    datagram, filter, [](const SearchResult&) { return true; }, findHub);
        });
        std::printf("decode and convert, %s names: %.0f messages/s, %.2f times the bare decode's time\n",
                    cyrillic ? "CP1251" : "ASCII", kMessages / seconds, seconds / bare);
    }

    const double decode = BestSeconds([&] {
        accepted = 0;
        for (const std::string& datagram : datagrams) {
            DecodeDatagram(datagram, filter, [&accepted](const SearchResult&) {
                ++accepted;
                return true;
            });
        }
    });
    std::printf("decode: %d messages in %zu datagrams, %ld accepted, %.3f s, %.0f messages/s\n", kMessages,
                datagrams.size(), accepted, decode, kMessages / decode);

    ResultStore store;
    const double decodeAndStore = BestSeconds([&] {
        store.Clear();
        for (const std::string& datagram : datagrams) {
            DecodeDatagram(datagram, filter, [&store](const SearchResult& result) {
                store.Append(result);
                return true;
            });
        }
    });
    std::printf("decode and store: %.3f s, %.0f messages/s\n", decodeAndStore, kMessages / decodeAndStore);

    std::size_t length = 0;
    const double sizeTexts = BestSeconds([&] {
        for (int64_t size = 1; size < 1000000; ++size) length += SizeText(size * 4099, ".").size();
    });
    std::printf("size text: %.0f ns per call (%zu)\n", sizeTexts / 999999 * 1e9, length);
    return 0;
}

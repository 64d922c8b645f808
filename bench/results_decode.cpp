// Decoding speed of $SR datagrams into SearchResult on one core, with and without reading names in their hub's
// encoding, sorting by name with and without non-ASCII names, and the cost of the size text that the list formats
// when it paints. Prints figures; not run by the tests.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "best_seconds.h"
#include "engine/nmdc/nmdc_text.h"
#include "engine/results/result_column.h"
#include "engine/results/result_store.h"
#include "engine/results/size_format.h"
#include "engine/results/sr_decoder.h"
#include "results_data.h"

namespace {

// How the small letters of the generated names are written: as they are, or as Cyrillic letters in CP1251 (a user of a
// Russian hub) or in UTF-8 (a Linux client).
enum class Letters { Ascii, Cp1251, Utf8 };

// Messages packed into datagrams of at most 8192 bytes, as clients send them.
std::vector<std::string> Datagrams(int messages, Letters letters = Letters::Ascii) {
    std::mt19937 random(7);
    std::vector<std::string> datagrams(1);
    for (int i = 0; i < messages; ++i) {
        std::string message;
        for (const char c : GeneratedSrMessage(random) + "|") {
            const bool small = c >= 'a' && c <= 'z';
            if (small && letters == Letters::Cp1251) {
                message += static_cast<char>(0xE0 + (c - 'a'));
            } else if (small && letters == Letters::Utf8) {
                message += '\xD0';
                message += static_cast<char>(0xB0 + (c - 'a') % 16);
            } else {
                message += c;
            }
        }
        if (datagrams.back().size() + message.size() > 8192) datagrams.emplace_back();
        datagrams.back() += message;
    }
    return datagrams;
}

// The best of three sorts by file name, each from the order of the Size column.
double NameSortSeconds(ResultStore& store) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        store.Sort(kSizeColumn, false);
        const auto start = std::chrono::steady_clock::now();
        store.Sort(kFileNameColumn, false);
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
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
    ResultStore asciiRows;
    ResultStore cyrillicRows;
    for (const Letters letters : {Letters::Ascii, Letters::Cp1251, Letters::Utf8}) {
        const std::vector<std::string> converted =
            letters == Letters::Ascii ? datagrams : Datagrams(kMessages, letters);
        const double seconds = BestSeconds([&] {
            for (const std::string& datagram : converted)
                DecodeDatagram(
                    datagram, filter, [](const SearchResult&) { return true; }, findHub);
        });
        const char* const name =
            letters == Letters::Ascii ? "ASCII" : (letters == Letters::Cp1251 ? "CP1251" : "UTF-8");
        std::printf("decode and convert, %s names: %.0f messages/s, %.2f times the bare decode's time\n", name,
                    kMessages / seconds, seconds / bare);
        if (letters == Letters::Cp1251) continue;
        ResultStore& store = letters == Letters::Ascii ? asciiRows : cyrillicRows;
        for (const std::string& datagram : converted) {
            DecodeDatagram(
                datagram, filter,
                [&store](const SearchResult& result) {
                    store.Append(result);
                    return true;
                },
                findHub);
        }
    }
    const double asciiSort = NameSortSeconds(asciiRows);
    const double cyrillicSort = NameSortSeconds(cyrillicRows);
    std::printf("sort %zu rows by name: ASCII %.3f s, Cyrillic UTF-8 %.3f s (%.2f times)\n", asciiRows.Count(),
                asciiSort, cyrillicSort, cyrillicSort / asciiSort);
    asciiRows.Clear();
    cyrillicRows.Clear();

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

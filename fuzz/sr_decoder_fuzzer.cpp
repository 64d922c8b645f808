#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/results/result_column.h"
#include "engine/results/result_store.h"
#include "engine/results/sr_decoder.h"

// Anyone can send result datagrams: any bytes must decode or be skipped, never crash or hang, and every accepted
// result must reach the list unchanged.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view datagram(reinterpret_cast<const char*>(data), size);
    const ResultFilter filters[] = {{}, {1024, 1 << 20, false, true}, {1024, -1, true, false}};
    ResultStore store;
    for (const ResultFilter& filter : filters) {
        DecodeDatagram(datagram, filter, [&store, &datagram](const SearchResult& result) {
            if (result.User.empty() || result.SlotsText.size() > datagram.size()) std::abort();
            if (result.SizeText == "<DIR>" ? result.Size != -1 : !result.SizeText.empty()) std::abort();
            store.Append(result);
            const ResultRow row = store.Row(store.Count() - 1);
            if (row.FileName != result.FileName || row.Path != result.Path || row.User != result.User ||
                row.HubAddress != result.HubAddress || row.SlotsText != result.SlotsText || row.Size != result.Size)
                std::abort();
            return true;
        });
    }
    for (int column = 0; column < kResultColumnCount; ++column) store.Sort(column, column % 2 == 0);
    return 0;
}

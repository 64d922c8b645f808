#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "engine/results/result_batch.h"
#include "engine/results/result_column.h"
#include "engine/results/result_store.h"
#include "engine/results/sr_decoder.h"

namespace {

bool Same(const SearchResult& a, const SearchResult& b) {
    return a.FileName == b.FileName && a.SizeText == b.SizeText && a.Size == b.Size && a.SlotsText == b.SlotsText &&
           a.FreeSlots == b.FreeSlots && a.TotalSlots == b.TotalSlots && a.User == b.User &&
           a.HubAddress == b.HubAddress && a.Path == b.Path && a.Tth == b.Tth;
}

}  // namespace

// Anyone can send result datagrams: any bytes must decode or be skipped, never crash or hang, and every accepted
// result must reach the list unchanged. Decoding into a batch, whose slots still hold the results of the filter
// before, must give exactly what a fresh decode gives.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view datagram(reinterpret_cast<const char*>(data), size);
    const ResultFilter filters[] = {{}, {1024, 1 << 20, false, true}, {1024, -1, true, false}};
    ResultStore store;
    ResultBatch batch;
    for (const ResultFilter& filter : filters) {
        std::vector<SearchResult> fresh;
        DecodeDatagram(datagram, filter, [&store, &datagram, &fresh](const SearchResult& result) {
            fresh.push_back(result);
            if (result.User.empty() || result.SlotsText.size() > datagram.size()) std::abort();
            if (result.SizeText == "<DIR>" ? result.Size != -1 : !result.SizeText.empty()) std::abort();
            store.Append(result);
            const ResultRow row = store.Row(store.Count() - 1);
            if (row.FileName != result.FileName || row.Path != result.Path || row.User != result.User ||
                row.HubAddress != result.HubAddress || row.SlotsText != result.SlotsText || row.Size != result.Size)
                std::abort();
            return true;
        });
        batch.Clear();
        DecodeDatagram(datagram, filter, batch);
        if (batch.Results().size() != fresh.size()) std::abort();
        for (std::size_t i = 0; i < fresh.size(); ++i)
            if (!Same(batch.Results()[i], fresh[i])) std::abort();
    }
    for (int column = 0; column < kResultColumnCount; ++column) store.Sort(column, column % 2 == 0);
    return 0;
}

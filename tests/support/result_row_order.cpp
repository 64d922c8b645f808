#include "support/result_row_order.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "engine/results/result_column.h"
#include "engine/text/text_fold.h"

namespace {

template <typename Number>
int CompareNumbers(Number a, Number b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

int CompareBytes(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return CompareNumbers(a.size(), b.size());
}

int CompareText(std::string_view a, std::string_view b, bool foldCase) {
    if (!foldCase) return CompareBytes(a, b);
    std::string foldedA;
    std::string foldedB;
    AppendFoldedUtf8(foldedA, a);
    AppendFoldedUtf8(foldedB, b);
    return CompareBytes(foldedA, foldedB);
}

}  // namespace

int CompareResultRows(const ResultRow& a, const ResultRow& b, int column) {
    switch (column) {
        case kFileNameColumn:
            return CompareText(a.FileName, b.FileName, true);
        case kSizeColumn:
            return CompareNumbers(a.Size, b.Size);
        case kSlotsColumn: {
            const int byFree = CompareNumbers(a.FreeSlots, b.FreeSlots);
            return byFree != 0 ? byFree : CompareNumbers(a.TotalSlots, b.TotalSlots);
        }
        case kUserColumn:
            return CompareText(a.User, b.User, true);
        case kHubAddressColumn:
            return CompareText(a.HubAddress, b.HubAddress, false);
        case kTthColumn:
            return CompareText(a.Tth, b.Tth, false);
        default:
            return CompareText(a.Path, b.Path, true);
    }
}

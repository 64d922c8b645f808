#include "engine/results/result_compare.h"

#include <algorithm>

namespace {

unsigned char FoldAscii(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

template <typename Number>
int CompareNumbers(Number a, Number b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

int CompareTextIgnoringCase(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char x = FoldAscii(static_cast<unsigned char>(a[i]));
        const unsigned char y = FoldAscii(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return CompareNumbers(a.size(), b.size());
}

int CompareText(std::string_view a, std::string_view b) {
    const int byBytes = a.substr(0, b.size()).compare(b.substr(0, a.size()));
    return byBytes != 0 ? byBytes : CompareNumbers(a.size(), b.size());
}

int CompareResultRows(const ResultRow& a, const ResultRow& b, int column) {
    switch (column) {
        case kFileNameColumn:
            return CompareTextIgnoringCase(a.FileName, b.FileName);
        case kSizeColumn:
            return CompareNumbers(a.Size, b.Size);
        case kSlotsColumn: {
            const int byFree = CompareNumbers(a.FreeSlots, b.FreeSlots);
            return byFree != 0 ? byFree : CompareNumbers(a.TotalSlots, b.TotalSlots);
        }
        case kUserColumn:
            return CompareTextIgnoringCase(a.User, b.User);
        case kHubAddressColumn:
            return CompareText(a.HubAddress, b.HubAddress);
        case kPathColumn:
            return CompareTextIgnoringCase(a.Path, b.Path);
        case kTthColumn:
            return CompareText(a.Tth, b.Tth);
        default:
            return 0;
    }
}

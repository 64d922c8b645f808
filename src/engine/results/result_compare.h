#pragma once

#include <string_view>

#include "engine/results/search_result.h"

// Column indices of the result list; the index stays with the column when the user drags it elsewhere.
enum ResultColumn : int {
    kFileNameColumn = 0,
    kSizeColumn = 1,
    kSlotsColumn = 2,
    kUserColumn = 3,
    kHubAddressColumn = 4,
    kPathColumn = 5,
    kTthColumn = 6,  // hidden until the user shows it
    kResultColumnCount = 7,
};

// Byte-wise as unsigned values, A to Z folded to a to z only (bytes above 127 compare higher, unfolded); a prefix
// sorts first. Negative, zero or positive.
int CompareTextIgnoringCase(std::string_view a, std::string_view b);
// The same without the case folding.
int CompareText(std::string_view a, std::string_view b);

// The list's row order for one column, ascending: negative when a sorts before b. Size compares signed (directories,
// -1, first); Slots compares free slots, then total slots; Hub IP Address and TTH are case-sensitive. 0 for other
// columns.
int CompareResultRows(const ResultRow& a, const ResultRow& b, int column);

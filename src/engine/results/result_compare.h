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
    kResultColumnCount = 6,
};

// UTF-8 text by characters, case ignored and accents first ignored ("cafe" < "Café" < "cafg"), then told apart by
// accent; Cyrillic and Greek fold case too, "ё" sorts with "е". Bytes that are not UTF-8 sort last; a prefix sorts
// first. Negative, zero or positive.
int CompareTextIgnoringCase(std::string_view a, std::string_view b);
// The same without the case folding.
int CompareText(std::string_view a, std::string_view b);

// The list's row order for one column, ascending: negative when a sorts before b. Size compares signed (directories,
// -1, first); Slots compares free slots, then total slots; Hub IP Address is case-sensitive. 0 for other columns.
int CompareResultRows(const ResultRow& a, const ResultRow& b, int column);

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The size conditions in the order the search form lists them.
enum SizeCondition : int {
    kAnyFileSize = 0,
    kAtLeast = 1,
    kAtMost = 2,
    kBetween = 3,
};

// The search form's state as the main window holds it when a run starts.
struct SearchForm {
    int sizeCondition = kAnyFileSize;
    std::string firstValue;   // the first size, as typed
    int firstUnit = 2;        // its unit: 0 B, 1 KB, 2 MB, 3 GB
    std::string secondValue;  // the upper size of "Between", as typed
    int secondUnit = 2;       // its unit
    int fileType = 0;         // the file type list index; the NMDC data type is this plus one
};

// The size filter and the part of the search string before the pattern, or the message to show instead.
struct SearchCriteria {
    std::string SearchPrefix;
    int64_t SizeFilterLow = -1;   // bytes, -1 = none; the upper limit under "At Most"
    int64_t SizeFilterHigh = -1;  // bytes, -1 = none
    std::optional<std::string> error;
};

// Bytes for a typed size value in the unit of index 0..3: 0 for empty text, -1 for text that is not a number,
// 0 for an unknown unit. Truncates towards zero.
int64_t ParseSizeValue(std::string_view text, int unitIndex);

SearchCriteria BuildSearchCriteria(const SearchForm& form);

// The phrase as sent in $Search: blanks become "$", and "|", which would end the command early, goes out as the
// entity "&#124;".
std::string SearchPattern(std::string_view phrase);

#include "engine/search/search_criteria.h"

#include <cmath>
#include <limits>
#include <utility>

#include "engine/text/number_format.h"

namespace {

constexpr int TthType = 8;

std::string ValueError(const char* which, const std::string& text) {
    return std::string("Error: ") + which + " condition value \"" + text + "\" is incorrect";
}

std::string SizePart(const SearchForm& form, const SearchCriteria& criteria) {
    if (criteria.SizeFilterHigh > 0 && criteria.SizeFilterLow <= 0)
        return "T?T?" + std::to_string(criteria.SizeFilterHigh) + "?";
    return (form.sizeCondition == kAtMost ? "T?T?" : "T?F?") + std::to_string(criteria.SizeFilterLow) + "?";
}

}  // namespace

int64_t ParseSizeValue(std::string_view text, int unitIndex) {
    if (text.empty()) return 0;
    const std::optional<long double> value = ParseDecimal(text);
    if (!value) return -1;
    if (unitIndex < 0 || unitIndex > 3) return 0;
    const long double bytes = std::trunc(*value * static_cast<long double>(int64_t{1} << (10 * unitIndex)));
    // Out of range cannot be a size anyone means; treat it as unreadable rather than overflow.
    if (!(bytes >= static_cast<long double>(std::numeric_limits<int64_t>::min()) &&
          bytes < static_cast<long double>(std::numeric_limits<int64_t>::max())))
        return -1;
    return static_cast<int64_t>(bytes);
}

SearchCriteria BuildSearchCriteria(const SearchForm& form) {
    SearchCriteria criteria;
    const bool between = form.sizeCondition == kBetween;
    const bool applies =
        form.sizeCondition != kAnyFileSize && (!form.firstValue.empty() || (!form.secondValue.empty() && between));
    if (applies) {
        if (!form.firstValue.empty()) criteria.SizeFilterLow = ParseSizeValue(form.firstValue, form.firstUnit);
        if (criteria.SizeFilterLow == -1) {
            criteria.error = ValueError("first", form.firstValue);
            return criteria;
        }
        if (!form.secondValue.empty() && between) {
            criteria.SizeFilterHigh = ParseSizeValue(form.secondValue, form.secondUnit);
            if (criteria.SizeFilterHigh == -1) {
                criteria.error = ValueError("second", form.secondValue);
                return criteria;
            }
            if (criteria.SizeFilterLow > criteria.SizeFilterHigh)
                std::swap(criteria.SizeFilterLow, criteria.SizeFilterHigh);
        }
        criteria.SearchPrefix = SizePart(form, criteria);
    } else {
        criteria.SearchPrefix = "F?F?0?";
    }
    criteria.SearchPrefix += std::to_string(form.fileType + 1) + "?";
    if (form.fileType == TthType) criteria.SearchPrefix += "TTH:";
    return criteria;
}

std::string SearchPattern(std::string_view phrase) {
    std::string pattern;
    pattern.reserve(phrase.size());
    for (const char c : phrase) {
        if (c == ' ')
            pattern += '$';
        else if (c == '|')
            pattern += "&#124;";
        else
            pattern += c;
    }
    return pattern;
}

#include <gtest/gtest.h>

#include <string>

#include "engine/search/search_criteria.h"

namespace {

constexpr int AnySize = 0, AtLeast = 1, AtMost = 2, Between = 3;
constexpr int B = 0, KB = 1, MB = 2, GB = 3;

TEST(ParseSizeValue, ConvertsWithUnitAndTruncates) {
    const struct {
        const char* text;
        int unit;
        int64_t bytes;
    } cases[] = {
        {"", MB, 0},     {"1.5", KB, 1536}, {"0.1", KB, 102}, {"2", GB, 2147483648},  {"10", B, 10},
        {"1,5", KB, -1}, {"abc", MB, -1},   {"-1", B, -1},    {"700", MB, 734003200}, {"1", 4, 0},
        {"1", -1, 0},    {"1e40", GB, -1},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseSizeValue(c.text, c.unit), c.bytes) << c.text << " unit " << c.unit;
}

struct CriteriaCase {
    const char* name;
    SearchForm form;
    std::string prefix;
    int64_t low;
    int64_t high;
    std::string error;
};

TEST(BuildSearchCriteria, SizePartTypeAndFilter) {
    const CriteriaCase cases[] = {
        {"any size", {AnySize, "5", MB, "", MB, 0}, "F?F?0?1?", -1, -1, ""},
        {"at least empty", {AtLeast, "", MB, "", MB, 0}, "F?F?0?1?", -1, -1, ""},
        {"at least", {AtLeast, "700", MB, "", MB, 6}, "T?F?734003200?7?", 734003200, -1, ""},
        {"at least 3 GB", {AtLeast, "3", GB, "", MB, 0}, "T?F?3221225472?1?", 3221225472, -1, ""},
        {"at most ignores stale second", {AtMost, "5", KB, "9", KB, 0}, "T?T?5120?1?", 5120, -1, ""},
        {"between reordered", {Between, "10", MB, "2", MB, 0}, "T?F?2097152?1?", 2097152, 10485760, ""},
        {"between with zero", {Between, "0", KB, "5", KB, 0}, "T?T?5120?1?", 0, 5120, ""},
        {"between first only", {Between, "3", KB, "", MB, 0}, "T?F?3072?1?", 3072, -1, ""},
        {"between zero both", {Between, "0", KB, "0", KB, 0}, "T?F?0?1?", 0, 0, ""},
        {"folders", {AnySize, "", MB, "", MB, 7}, "F?F?0?8?", -1, -1, ""},
        {"tth", {AnySize, "", MB, "", MB, 8}, "F?F?0?9?TTH:", -1, -1, ""},
        {"blank value is not empty",
         {AtLeast, " ", MB, "", MB, 0},
         "",
         -1,
         -1,
         "Error: first condition value \" \" is incorrect"},
        {"first unreadable",
         {AtLeast, "abc", MB, "", MB, 0},
         "",
         -1,
         -1,
         "Error: first condition value \"abc\" is incorrect"},
        {"between first empty",
         {Between, "", MB, "5", MB, 0},
         "",
         -1,
         -1,
         "Error: first condition value \"\" is incorrect"},
        {"second unreadable",
         {Between, "1", MB, "x1", MB, 0},
         "",
         1048576,
         -1,
         "Error: second condition value \"x1\" is incorrect"},
    };
    for (const CriteriaCase& c : cases) {
        const SearchCriteria criteria = BuildSearchCriteria(c.form);
        EXPECT_EQ(criteria.error.value_or(""), c.error) << c.name;
        if (!c.error.empty()) continue;
        EXPECT_EQ(criteria.SearchPrefix, c.prefix) << c.name;
        EXPECT_EQ(criteria.SizeFilterLow, c.low) << c.name;
        EXPECT_EQ(criteria.SizeFilterHigh, c.high) << c.name;
    }
}

TEST(SearchPattern, BlanksBecomeDollarsAndPipeCannotEndTheCommand) {
    const std::pair<std::string, std::string> cases[] = {
        {"big buck", "big$buck"},    {"a b  c", "a$b$$c"}, {"   ", "$$$"},           {" x ", "$x$"},
        {"a|$Quit", "a&#124;$Quit"}, {"a$b?c", "a$b?c"},   {"\xe4\xf6", "\xe4\xf6"},
    };
    for (const auto& [phrase, pattern] : cases) EXPECT_EQ(SearchPattern(phrase), pattern) << phrase;
}

}  // namespace

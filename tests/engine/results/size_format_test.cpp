#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "engine/results/size_format.h"

namespace {

TEST(SizeFormat, ShowsSizesInUnits) {
    struct Case {
        int64_t size;
        const char* text;
    };
    const Case cases[] = {
        {0, "0 B"},
        {1023, "1023 B"},
        {-1, "-1 B"},
        {std::numeric_limits<int64_t>::min(), "-9223372036854775808 B"},
        {1024, "1 KB"},
        {1536, "1.5 KB"},
        {2048, "2 KB"},
        {1500, "1.46 KB"},
        {1152, "1.13 KB"},  // exactly 1.125: the half rounds up
        {1234567, "1.18 MB"},
        {1048575, "1024 KB"},  // the carry reaches the next unit's threshold, the unit stays
        {10239, "10 KB"},
        {5242880, "5 MB"},
        {1073741823, "1024 MB"},
        {1073741824, "1 GB"},
        {1610612736, "1.5 GB"},
        {1099511627776, "1024 GB"},
        {std::numeric_limits<int64_t>::max(), "8589934592 GB"},
    };
    for (const Case& c : cases) EXPECT_EQ(SizeText(c.size, "."), c.text) << c.size;
}

TEST(SizeFormat, UsesTheGivenDecimalSeparator) {
    EXPECT_EQ(SizeText(1536, ","), "1,5 KB");
    EXPECT_EQ(SizeText(2048, ","), "2 KB");
}

TEST(SizeFormat, FormatsWithTwoDigitsMoreThanTheIntegerPart) {
    struct Case {
        double x;
        const char* text;
    };
    const Case cases[] = {
        {1.4648, "1.46"}, {1023.9, "1023.9"},    {1023.999, "1024"}, {9.999, "10"},
        {99.999, "100"},  {12.345, "12.35"},  // 12.3450000000000006: half up on the 18-digit expansion
        {1.005, "1"},                         // 1.00499999999999989
        {0, "0"},         {0.001234, "0.00123"}, {0.5, "0.5"},       {-1.5, "-1.5"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatSizeNumber(c.x, "."), c.text) << c.x;
}

}  // namespace

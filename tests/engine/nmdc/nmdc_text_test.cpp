#include <gtest/gtest.h>

#include <string>

#include "engine/nmdc/nmdc_text.h"

namespace {

struct TokenCase {
    std::string text;
    std::size_t start;
    std::string token;
    std::size_t next;
};

TEST(NextToken, SkipsSeparatorRunsAndLeavesPositionPastTheSeparator) {
    const TokenCase cases[] = {
        {"$Lock abc Pk=x", 6, "abc", 11},
        {"$Lock    abc", 6, "abc", 14},
        {"abc", 1, "abc", 5},
        {"  a  b", 1, "a", 5},
        {"  a  b", 5, "b", 8},
        {"a  ", 3, "", 4},
        {"", 1, "", 1},
        {"$Lock", 6, "", 6},
        {"$Lock ", 6, "", 7},
    };
    for (const TokenCase& c : cases) {
        std::size_t position = c.start;
        EXPECT_EQ(NextToken(c.text, ' ', position), c.token) << c.text << " from " << c.start;
        EXPECT_EQ(position, c.next) << c.text << " from " << c.start;
    }
}

TEST(NextToken, WalksThroughAllTokens) {
    const std::string text = "$SR user dir\\file 5 1/3";
    std::size_t position = 1;
    std::string joined;
    for (std::string_view token; !(token = NextToken(text, ' ', position)).empty();) joined += std::string(token) + ",";
    EXPECT_EQ(joined, "$SR,user,dir\\file,5,1/3,");
}

TEST(LockToKey, ComputesAndEscapesKeyBytes) {
    const std::pair<std::string, std::string> cases[] = {
        {"ABC", "T0\x10"},
        {"\x41\x86", "8/%DCN124%/"},
        {"AA", "D/%DCN000%/"},
        {"\x41\x11", "A/%DCN005%/"},
        {"\x41\x03", "/%DCN096%//%DCN036%/"},
        {"\x41\x47", "/%DCN036%//%DCN096%/"},
        {"\x41\xA6", ":/%DCN126%/"},
        {"A", ""},
        {"", ""},
    };
    for (const auto& [lock, key] : cases) EXPECT_EQ(LockToKey(lock, 5), key) << lock;
}

}  // namespace

#include <gtest/gtest.h>

#include "engine/text/ascii_case.h"

namespace {

// Code page letters above 127 must not fold, and the neighbours of A and Z are no letters.
TEST(AsciiCase, FoldsOnlyAToZ) {
    EXPECT_EQ(AsciiLower("Hub-\xC4Z@[`{"), "hub-\xC4z@[`{");
    const struct {
        const char* a;
        const char* b;
        bool equal;
    } cases[] = {{"UTF-8", "utf-8", true}, {"\xC4", "\xE4", false}, {"utf8", "utf-8", false}, {"", "", true}};
    for (const auto& c : cases) EXPECT_EQ(EqualsIgnoringAsciiCase(c.a, c.b), c.equal) << c.a << " " << c.b;
}

}  // namespace

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "engine/adc/adc_text.h"

namespace {

TEST(AdcText, EscapesBothWays) {
    const struct {
        std::string_view text;
        std::string_view escaped;
    } cases[] = {
        {"plain", "plain"},
        {"two words", "two\\swords"},
        {"line\nbreak", "line\\nbreak"},
        {"back\\slash", "back\\\\slash"},
        {" \\\n", "\\s\\\\\\n"},
        {"\\s", "\\\\s"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AdcEscape(c.text), c.escaped);
        EXPECT_EQ(AdcUnescape(c.escaped), std::string(c.text)) << c.escaped;
    }
}

TEST(AdcText, RefusesMalformedEscapes) {
    for (const std::string_view part : {"\\t", "end\\", "\\S", "raw\nfeed", "\\"})
        EXPECT_FALSE(AdcUnescape(part).has_value()) << part;
}

TEST(AdcText, SplitsAtEveryBlankKeepingEmptyParts) {
    using Parts = std::vector<std::string_view>;
    Parts parts{"left over"};
    SplitAdcMessage("BINF AAAB NIa\\sb", parts);
    EXPECT_EQ(parts, (Parts{"BINF", "AAAB", "NIa\\sb"}));
    SplitAdcMessage("a  b ", parts);
    EXPECT_EQ(parts, (Parts{"a", "", "b", ""}));
    SplitAdcMessage("", parts);
    EXPECT_EQ(parts, (Parts{""}));
}

}  // namespace

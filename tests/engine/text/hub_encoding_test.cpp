#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/text/hub_encoding.h"

namespace {

struct ListNameCase {
    std::string testName;
    std::string listName;
    std::string iconvName;  // "" = the locale's code page
};

class HubEncodingListName : public testing::TestWithParam<ListNameCase> {};

TEST_P(HubEncodingListName, MapsTheCommonSpellings) {
    const ListNameCase& c = GetParam();
    const HubEncoding expected = c.iconvName.empty() ? HubEncoding() : HubEncoding::FromListName(c.iconvName);
    EXPECT_EQ(HubEncoding::FromListName(c.listName).Name(), expected.Name());
    if (!c.iconvName.empty()) {
        EXPECT_EQ(expected.Name(), c.iconvName);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, HubEncodingListName,
    testing::Values(ListNameCase{"Cp1251", "CP1251", "CP1251"}, ListNameCase{"CpDash", "cp-1251", "CP1251"},
                    ListNameCase{"Windows", "windows-1251", "CP1251"}, ListNameCase{"Win", "win1250", "CP1250"},
                    ListNameCase{"Utf8Dash", "UTF-8", "UTF-8"}, ListNameCase{"Utf8", "utf8", "UTF-8"},
                    ListNameCase{"Iso", "ISO-8859-2", "ISO-8859-2"},
                    ListNameCase{"IsoUnderscore", "iso_8859_5", "ISO-8859-5"},
                    ListNameCase{"Latin1", "latin1", "ISO-8859-1"}, ListNameCase{"Koi8", "KOI8-R", "KOI8-R"},
                    ListNameCase{"Empty", "", ""}, ListNameCase{"Unknown", "klingon", ""},
                    ListNameCase{"NotAsciiCompatible", "UTF-16", ""}),
    [](const testing::TestParamInfo<ListNameCase>& caseInfo) { return caseInfo.param.testName; });

TEST(HubEncoding, ConvertsBothWays) {
    struct Case {
        std::string encoding;
        std::string utf8;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"CP1251", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", "\xCF\xF0\xE8\xE2\xE5\xF2"},  // Привет
        {"CP1252", "caf\xC3\xA9 \xE2\x82\xAC", "caf\xE9 \x80"},                                      // café €
        {"CP1250", "\xC5\x81\xC3\xB3\x64\xC5\xBA", "\xA3\xF3\x64\x9F"},                              // Łódź
        {"UTF-8", "\xD0\xAF", "\xD0\xAF"},
        {"CP1251", "plain.txt", "plain.txt"},
    };
    for (const Case& c : cases) {
        const HubEncoding encoding = HubEncoding::FromListName(c.encoding);
        EXPECT_EQ(encoding.ToUtf8(c.bytes), c.utf8) << c.encoding;
        EXPECT_EQ(encoding.FromUtf8(c.utf8), c.bytes) << c.encoding;
    }
}

TEST(HubEncoding, WhatTheEncodingCannotHoldIsRefusedNotReplaced) {
    const std::string cyrillic = "\xD0\xAF";  // Я
    EXPECT_EQ(HubEncoding::FromListName("CP1252").FromUtf8("a" + cyrillic), std::nullopt);
    EXPECT_EQ(HubEncoding::FromListName("CP1251").FromUtf8("caf\xC3\xA9"), std::nullopt) << "é is not in CP1251";
    EXPECT_EQ(HubEncoding::FromListName("UTF-8").FromUtf8("\xC3"), std::nullopt) << "malformed UTF-8";
    EXPECT_EQ(HubEncoding::FromListName("UTF-8").FromUtf8("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");
}

TEST(HubEncoding, BytesInvalidInTheEncodingBecomeReplacementCharacters) {
    // 0x98 is undefined in CP1251; a UTF-8 lead byte without its continuation is invalid.
    EXPECT_EQ(HubEncoding::FromListName("CP1251").ToUtf8("a\x98z"), "a\xEF\xBF\xBDz");
    EXPECT_EQ(HubEncoding::FromListName("UTF-8").ToUtf8("a\xD0z\xD0"), "a\xEF\xBF\xBDz\xEF\xBF\xBD");
}

}  // namespace

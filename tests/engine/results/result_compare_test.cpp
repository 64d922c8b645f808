#include "engine/results/result_compare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/results/sr_decoder.h"

namespace {

TEST(ResultCompare, MixedScriptNamesSortAsAReaderExpects) {
    // Case and accents first ignored, then accents tell apart; Cyrillic folds case, ё sorts with е; bad bytes last.
    const std::vector<std::string> expected = {
        "apple",
        "\xC3\x89"
        "clair",  // Éclair
        "eclair2",
        "Zebra",
        "\xD0\x90\xD0\xB1\xD0\xB2",          // Абв
        "\xD0\xB5\xD0\xB6",                  // еж
        "\xD0\x81\xD0\xB6\xD0\xB8\xD0\xBA",  // Ёжик
        "\xD1\x8F",                          // я
        "\xFF"
        "bad",
    };
    std::vector<std::string> sorted = expected;
    std::reverse(sorted.begin(), sorted.end());
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const std::string& a, const std::string& b) { return CompareTextIgnoringCase(a, b) < 0; });
    EXPECT_EQ(sorted, expected);
    EXPECT_EQ(
        CompareTextIgnoringCase("\xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F", "\xD0\xBF\xD0\x95\xD0\xA1\xD0\x9D\xD0\xAF"),
        0)
        << "Песня and пЕСНЯ";
    EXPECT_LT(CompareTextIgnoringCase("cafe", "caf\xC3\xA9"), 0);
    EXPECT_LT(CompareTextIgnoringCase("caf\xC3\xA9", "cafg"), 0);
}

TEST(ResultCompare, DecodedResultsHoldUtf8WhateverTheHubSent) {
    // CP1251 bytes from a CP1251 hub, UTF-8 from a Linux client on the same hub, CP1252 from an unknown hub.
    const std::string datagram =
        "$SR \xC8\xE2\xE0\xED \xCF\xE5\xF1\xED\xFF.mp3\x05"
        "1 1/1\x05Hub (10.0.0.1:411)|"
        "$SR linux \xD0\xAF.txt\x05"
        "1 1/1\x05Hub (10.0.0.1:411)|"
        "$SR west caf\xE9.txt\x05"
        "1 1/1\x05Hub (10.0.0.9:411)|";
    std::vector<std::string> names;
    DecodeDatagram(
        datagram, {},
        [&names](const SearchResult& result) {
            names.push_back(result.User + " " + result.FileName);
            return true;
        },
        [](std::string_view address) -> std::optional<HubEncoding> {
            if (address == "10.0.0.1:411") return HubEncoding::FromListName("CP1251");
            return std::nullopt;
        });
    const std::vector<std::string> expected = {
        "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD \xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F.mp3",
        "linux \xD0\xAF.txt",
        "west " + HubEncoding().ToUtf8("caf\xE9") + ".txt",
    };
    EXPECT_EQ(names, expected);
}

}  // namespace

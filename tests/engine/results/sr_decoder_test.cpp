#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/results/size_format.h"
#include "engine/results/sr_decoder.h"
#include "sr_test_text.h"

namespace {

constexpr int64_t kMB = int64_t{1024} * 1024;

std::vector<SearchResult> Decode(std::string_view readable, const ResultFilter& filter = {}) {
    std::vector<SearchResult> results;
    DecodeDatagram(SrText(readable), filter, [&results](const SearchResult& result) {
        results.push_back(result);
        return true;
    });
    return results;
}

std::string FileResult(int64_t size, std::string_view slots = "1/2") {
    return "$SR u dir\\f.bin{5}" + std::to_string(size) + " " + std::string(slots) + "{5}Hub (127.0.0.1:411)";
}

TEST(SrDecoder, DecodesFileResult) {
    const auto results = Decode("$SR alice music\\song.mp3{5}5242880 2/4{5}Some Hub (10.0.0.1:411)|");
    ASSERT_EQ(results.size(), 1u);
    const SearchResult& r = results[0];
    EXPECT_EQ(r.FileName, "song.mp3");
    EXPECT_EQ(r.Path, "music\\");
    EXPECT_EQ(r.Size, 5242880);
    EXPECT_EQ(r.SizeText, "") << "a file's shown size comes from Size";
    EXPECT_EQ(SizeText(r.Size, "."), "5 MB");
    EXPECT_EQ(r.SlotsText, "2/4");
    EXPECT_EQ(r.FreeSlots, 2);
    EXPECT_EQ(r.TotalSlots, 4);
    EXPECT_EQ(r.User, "alice");
    EXPECT_EQ(r.HubAddress, "10.0.0.1:411");
}

TEST(SrDecoder, KeepsTheTthOfAHashingClient) {
    const auto results = Decode(
        "$SR alice Films\\bunny.avi{5}276134947 2/4{5}TTH:LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ (127.0.0.1:411)|"
        "$SR bob Films 1/2{5}TTH:AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA (127.0.0.1:411)");
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].Tth, "LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ");
    EXPECT_EQ(results[1].Tth, "") << "a directory's all-zero hash";
}

TEST(SrDecoder, DecodesDirectoryResultUnlessOnlyFreeSlots) {
    const std::string_view datagram = "$SR bob Films\\New Stuff 0/3{5}Hub (10.0.0.2)|";
    const auto results = Decode(datagram);
    ASSERT_EQ(results.size(), 1u);
    const SearchResult& r = results[0];
    EXPECT_EQ(r.FileName, "Films\\New Stuff\\");
    EXPECT_EQ(r.Path, "Films\\New Stuff\\");
    EXPECT_EQ(r.SizeText, "<DIR>");
    EXPECT_EQ(r.Size, -1);
    EXPECT_EQ(r.SlotsText, "0/3");
    EXPECT_EQ(r.FreeSlots, 0);
    EXPECT_EQ(r.TotalSlots, 3);
    EXPECT_EQ(r.User, "bob");
    EXPECT_EQ(r.HubAddress, "10.0.0.2");

    ResultFilter onlyFree;
    onlyFree.OnlyFreeSlots = true;
    EXPECT_TRUE(Decode(datagram, onlyFree).empty());
}

TEST(SrDecoder, CutsDatagramIntoMessages) {
    const auto results = Decode(
        "||$SR a x\\one.txt{5}10 1/2{5}H (h1)||$Hello a|$SR b two.txt{5}20 3/4{5}TTH:ABC (h2)|junk|"
        "$SR c Some Dir 5/5{5}H (h3)");
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0].User, "a");
    EXPECT_EQ(results[0].FileName, "one.txt");
    EXPECT_EQ(results[1].FileName, "two.txt");
    EXPECT_EQ(results[1].Path, "") << "a path without a backslash";
    EXPECT_EQ(results[1].HubAddress, "h2");
    EXPECT_EQ(results[2].FileName, "Some Dir\\") << "the final piece has no '|'";
}

TEST(SrDecoder, SinkCanEndTheDatagram) {
    int calls = 0;
    DecodeDatagram(SrText(FileResult(1) + "|" + FileResult(2)), {}, [&calls](const SearchResult&) {
        ++calls;
        return false;
    });
    EXPECT_EQ(calls, 1);
}

TEST(SrDecoder, SkipsMalformedPiecesAndKeepsTheRest) {
    const char* const rejected[] = {
        "$sr u dir\\f.bin{5}10 1/2{5}Hub (h)",                   // lower case
        "$SRu dir\\f.bin{5}10 1/2{5}Hub (h)",                    // no blank after $SR
        "$SR u dir\\f.bin{5}10 1/2{5}Hub (h) ",                  // last character is not ")"
        "$SR u dir\\f.bin{5}10 1/2{5}Hub (h",                    //
        "$SR u dir\\f.bin{5}12x 1/2{5}Hub (h)",                  // size word
        "$SR u dir\\f.bin{5} 1/2{5}Hub (h)",                     // size and slots swapped places: "1/2" is no size
        "$SR u dir\\f.bin{5}9223372036854775808 1/2{5}Hub (h)",  // beyond 64 bits
        "$SR u dir\\f.bin{5}10 x/2{5}Hub (h)",                   // free slots
        "$SR u dir\\f.bin{5}10 1/y{5}Hub (h)",                   // total slots
        "$SR u dir\\f.bin{5}10 1{5}Hub (h)",                     // no total
        "$SR u dir\\f.bin{5}10 {5}Hub (h)",                      // no slots
        "$SR u dir\\f.bin{5}10 2147483648/3{5}Hub (h)",          // beyond 32 bits
        "$SR u dir\\f.bin{5}10 1/2147483648{5}Hub (h)",          //
        "$SR    {5}10 1/2{5}Hub (h)",                            // empty nick
        "$SR {5}{5}{5}(h)",                                      //
        "$SR bob Films0/3{5}Hub (h)",                            // directory without a blank before the slots
        "$SR bob{5}Hub (h)",                                     // directory with nothing after the nick
        "$SR bob Films {5}Hub (h)",                              // directory with empty slots
        "$SR )",                                                 //
        "$SR",                                                   //
    };
    for (const char* piece : rejected) {
        const std::string datagram = std::string(piece) + "|" + FileResult(7);
        const auto results = Decode(datagram);
        ASSERT_EQ(results.size(), 1u) << piece;
        EXPECT_EQ(results[0].Size, 7) << piece;
    }
}

TEST(SrDecoder, DecodesEdgeFields) {
    struct Case {
        const char* piece;
        const char* fileName;
        const char* path;
        const char* slotsText;
        const char* hubAddress;
    };
    const Case cases[] = {
        {"$SR u f.txt{5}1 1/1{5}hub)", "f.txt", "", "1/1", ""},  // no "(": empty address
        {"$SR u a b\\c d\\e f.txt{5}1 1/1{5}Hub (x) (10.0.0.9:411)", "e f.txt", "a b\\c d\\", "1/1", "10.0.0.9:411"},
        {"$SR u dir\\{5}1 1/1{5}H ()", "", "dir\\", "1/1", ""},
        {"$SR u  two  blanks\\x{5}1   1/2/3{5}H (a(b)", "x", " two  blanks\\", "  1/2/3", "b"},
        {"$SR {5}{5}u d\\x{5}{5}1 1/1{5}H (h)", "x", "d\\", "1/1", "h"},  // runs of 0x05 are skipped
        {"$SR u A Dir  4/5{5}H (h)", "A Dir \\", "A Dir \\", "4/5", "h"},
    };
    for (const Case& c : cases) {
        SearchResult r;
        ASSERT_TRUE(DecodeSearchResult(SrText(c.piece), {}, r)) << c.piece;
        EXPECT_EQ(r.FileName, c.fileName) << c.piece;
        EXPECT_EQ(r.Path, c.path) << c.piece;
        EXPECT_EQ(r.SlotsText, c.slotsText) << c.piece;
        EXPECT_EQ(r.HubAddress, c.hubAddress) << c.piece;
    }
}

TEST(SrDecoder, ReusedResultTakesNoOldField) {
    SearchResult r;
    ASSERT_TRUE(DecodeSearchResult(SrText("$SR u D 1/2{5}H (h)"), {}, r));
    EXPECT_EQ(r.SizeText, "<DIR>");
    ASSERT_TRUE(DecodeSearchResult(SrText("$SR user1 long\\path\\name.ext{5}123456 1/2{5}H (host:1)"), {}, r));
    EXPECT_EQ(r.User, "user1");
    EXPECT_EQ(r.FileName, "name.ext");
    EXPECT_EQ(r.Size, 123456);
    EXPECT_EQ(r.SizeText, "") << "the directory mark must not stay";
    EXPECT_EQ(r.HubAddress, "host:1");
}

TEST(SrDecoder, FiltersBySizeAsTheDropDownShowsNow) {
    struct Case {
        const char* what;
        ResultFilter filter;
        int64_t size;
        bool accepted;
    };
    const ResultFilter any{-1, -1, false, false};
    const ResultFilter atLeast100{100 * kMB, -1, false, false};
    const ResultFilter switchedToAtMost{100 * kMB, -1, true, false};
    const ResultFilter atMost100{100 * kMB, -1, true, false};
    const ResultFilter between{10 * kMB, 20 * kMB, false, false};
    const Case cases[] = {
        {"any", any, 0, true},
        {"any, size -1 is a file too", any, -1, true},
        {"any rejects sizes below -1", any, -2, false},
        {"at least, above", atLeast100, 150 * kMB, true},
        {"at least, below", atLeast100, 50 * kMB, false},
        {"at least, at the limit", atLeast100, 100 * kMB, true},
        {"switched to at most, above", switchedToAtMost, 150 * kMB, false},
        {"switched to at most, below", switchedToAtMost, 50 * kMB, true},
        {"at most, at the limit", atMost100, 100 * kMB, true},
        {"between, low limit", between, 10 * kMB, true},
        {"between, high limit", between, 20 * kMB, true},
        {"between, below", between, 10 * kMB - 1, false},
        {"between, above", between, 20 * kMB + 1, false},
        {"at most shown, no limit", ResultFilter{-1, 5, true, false}, 6, false},  // falls back to low/high
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Decode(FileResult(c.size), c.filter).size(), c.accepted ? 1u : 0u) << c.what;
    }
    EXPECT_EQ(Decode("$SR u Big Dir 1/2{5}H (h)", atLeast100).size(), 1u) << "directories are not size-filtered";
}

TEST(SrDecoder, OnlyFreeSlotsRejectsZeroFreeSlots) {
    ResultFilter onlyFree;
    onlyFree.OnlyFreeSlots = true;
    EXPECT_TRUE(Decode(FileResult(1, "0/3"), onlyFree).empty());
    EXPECT_EQ(Decode(FileResult(1, "1/3"), onlyFree).size(), 1u);
    EXPECT_EQ(Decode(FileResult(1, "0/3")).size(), 1u);
}

TEST(SrDecoder, DecodedResultsHoldUtf8WhateverTheHubSent) {
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

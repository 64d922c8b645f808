#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/adc/adc_result_decoder.h"

namespace {

const std::string kKnownCid = "ZXO4VT7KPNYLJBLFLOR5YP3A33SPNOHYMEDJ4MY";
const std::string kUnknownCid = "W6AIUW3CLDF6OGHNVE4JPDDJ2P74IWRCF2O36TA";
const std::string kNamelessCid = "AAAQEAYEAUDAOCAJBIFQYDIOB4IBCEQTCQKRMFY";
const std::string kTth = "LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ";

// A run with three hubs: P0 searched for anything, P1 for files, P2 for directories.
class AdcResultDecoderTest : public ::testing::Test {
protected:
    AdcResultDecoderTest() : m_run("P") {
        m_run.AddSearch("hub.example:411", AdcResultKind::Any);
        m_run.AddSearch("files.example:411", AdcResultKind::FilesOnly);
        m_run.AddSearch("dirs.example:411", AdcResultKind::DirectoriesOnly);
        m_run.AddUser(kKnownCid, "J\xC3\xA9r\xC3\xB4me", 4);
        m_run.AddUser(kNamelessCid, "", 2);
    }

    std::vector<SearchResult> Decode(const std::string& datagram, const ResultFilter& filter = {}) {
        std::vector<SearchResult> results;
        DecodeAdcDatagram(datagram, m_run, filter, [&](const SearchResult& result) {
            results.push_back(result);
            return true;
        });
        return results;
    }

    AdcRunRegistry m_run;
};

TEST_F(AdcResultDecoderTest, DecodesFilesAndDirectoriesIntoNmdcShapedRows) {
    const auto file =
        Decode("URES " + kKnownCid + " SL2 FN/Share/Big\\sBuck/bunny.mkv SI734003200 TR" + kTth + " TOP0\n");
    ASSERT_EQ(file.size(), 1u);
    EXPECT_EQ(file[0].FileName, "bunny.mkv");
    EXPECT_EQ(file[0].Path, "Share\\Big Buck\\");
    EXPECT_EQ(file[0].Size, 734003200);
    EXPECT_EQ(file[0].SizeText, "");
    EXPECT_EQ(file[0].SlotsText, "2/4");
    EXPECT_EQ(file[0].FreeSlots, 2);
    EXPECT_EQ(file[0].TotalSlots, 4);
    EXPECT_EQ(file[0].User, "J\xC3\xA9r\xC3\xB4me");
    EXPECT_EQ(file[0].HubAddress, "hub.example:411");
    EXPECT_EQ(file[0].Tth, kTth);

    // Field order differs between clients; directories may carry an all-"A" hash, which is none.
    const auto directory =
        Decode("URES " + kUnknownCid + " TOP0 TRAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA SI0 FN/Share/Big\\sBuck/ SL0");
    ASSERT_EQ(directory.size(), 1u);
    EXPECT_EQ(directory[0].FileName, "Share\\Big Buck\\");
    EXPECT_EQ(directory[0].Path, "Share\\Big Buck\\");
    EXPECT_EQ(directory[0].Size, -1);
    EXPECT_EQ(directory[0].SizeText, "<DIR>");
    EXPECT_EQ(directory[0].SlotsText, "0");
    EXPECT_EQ(directory[0].User, kUnknownCid.substr(0, 8));
    EXPECT_EQ(directory[0].Tth, "");

    const auto bare = Decode("URES " + kNamelessCid + " FNname SI1 SL1 TRSHORT TOP0");
    ASSERT_EQ(bare.size(), 1u);
    EXPECT_EQ(bare[0].FileName, "name");
    EXPECT_EQ(bare[0].Path, "");
    EXPECT_EQ(bare[0].Tth, "");
    EXPECT_EQ(bare[0].User, kNamelessCid.substr(0, 8)) << "a BINF without a nick";
    EXPECT_EQ(bare[0].SlotsText, "1/2");
}

TEST_F(AdcResultDecoderTest, DropsHostileAndForeignMessagesWhole) {
    const std::string head = "URES " + kKnownCid + " ";
    const struct {
        const char* name;
        std::string datagram;
    } cases[] = {
        {"no name", head + "SI1 SL1 TOP0"},
        {"empty name", head + "FN SI1 SL1 TOP0"},
        {"root only", head + "FN/ SI1 SL1 TOP0"},
        {"no size for a file", head + "FN/a SL1 TOP0"},
        {"no slots", head + "FN/a SI1 TOP0"},
        {"no token", head + "FN/a SI1 SL1"},
        {"token of another run", head + "FN/a SI1 SL1 TOQ0"},
        {"token beyond the run's hubs", head + "FN/a SI1 SL1 TOP3"},
        {"token with a leading zero", head + "FN/a SI1 SL1 TOP00"},
        {"token with a sign", head + "FN/a SI1 SL1 TOP+0"},
        {"size beyond 64 bits", head + "FN/a SI9223372036854775808 SL1 TOP0"},
        {"negative size", head + "FN/a SI-1 SL1 TOP0"},
        {"hexadecimal size", head + "FN/a SI0x10 SL1 TOP0"},
        {"slots beyond 32 bits", head + "FN/a SI1 SL2147483648 TOP0"},
        {"bad escape", head + "FN/a\\x SI1 SL1 TOP0"},
        {"not a result", "USCH " + kKnownCid + " FN/a SI1 SL1 TOP0"},
        {"short CID", "URES ABC FN/a SI1 SL1 TOP0"},
        {"a hub's message", "IRES FN/a SI1 SL1 TOP0"},
        {"directory for a files-only search", head + "FN/a/ SL1 TOP1"},
        {"file for a directories-only search", head + "FN/a SI1 SL1 TOP2"},
        {"NMDC",
         "$SR user a\x05"
         "1 1/1\x05hub (1.2.3.4:411)|"},
    };
    for (const auto& c : cases) EXPECT_TRUE(Decode(c.datagram).empty()) << c.name;
}

TEST_F(AdcResultDecoderTest, AppliesTheRunFilters) {
    const std::string head = "URES " + kKnownCid + " ";
    ResultFilter filter;
    filter.SizeFilterLow = 100;
    filter.SizeFilterHigh = 200;
    filter.OnlyFreeSlots = true;
    const std::string datagram = head + "FN/small SI99 SL1 TOP0\n" + head + "FN/fits SI150 SL1 TOP1\n" + head +
                                 "FN/big SI201 SL1 TOP0\n" + head + "FN/busy SI150 SL0 TOP0\n" + head +
                                 "FN/dir/ SL1 TOP2\n" + head + "FN/busydir/ SL0 TOP0";
    std::vector<std::string> names;
    for (const SearchResult& result : Decode(datagram, filter)) names.push_back(result.FileName);
    EXPECT_EQ(names, (std::vector<std::string>{"fits", "dir\\"}));
}

TEST_F(AdcResultDecoderTest, HubRelayedResultNamesItsSenderByCid) {
    const AdcMessage message = ParseAdcMessage("DRES AAAC AAAB FN/a SI5 SL3 TOP1").value();
    SearchResult result;
    ASSERT_TRUE(DecodeAdcResult(message, kKnownCid, m_run, {}, result));
    EXPECT_EQ(result.User, "J\xC3\xA9r\xC3\xB4me");
    EXPECT_EQ(result.HubAddress, "files.example:411");
}

TEST(AdcRunRegistry, TokensAreUniquePerHubAndRun) {
    AdcRunRegistry first, second;
    const std::string a = first.AddSearch("a:1", AdcResultKind::Any);
    const std::string b = first.AddSearch("b:1", AdcResultKind::Any);
    EXPECT_NE(a, b);
    std::string hub;
    AdcResultKind kind = AdcResultKind::Any;
    EXPECT_TRUE(first.FindSearch(b, hub, kind));
    EXPECT_EQ(hub, "b:1");
    EXPECT_FALSE(second.FindSearch(a, hub, kind));
}

}  // namespace

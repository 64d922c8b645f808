#include "engine/settings/settings_store.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "support/idle_fifo.h"
#include "support/param_name.h"
#include "support/temp_dir.h"

namespace {

auto Fields(const AppSettings& s) {
    return std::tie(s.Nick, s.AutodetectIP, s.RefreshHublist, s.IP, s.HublistURL, s.ShareSizeBytes, s.ShareSize,
                    s.Threads, s.MinUDPPort, s.MaxUDPPort, s.SearchTimeout, s.Connection, s.SkipRecentHubs);
}

std::string Describe(const AppSettings& s) {
    return "Nick=" + s.Nick + " AutodetectIP=" + std::to_string(s.AutodetectIP) +
           " RefreshHublist=" + std::to_string(s.RefreshHublist) + " IP=" + s.IP + " HublistURL=" + s.HublistURL +
           " ShareSizeBytes=" + s.ShareSizeBytes + " ShareSize=" + s.ShareSize +
           " Threads=" + std::to_string(s.Threads) + " MinUDPPort=" + std::to_string(s.MinUDPPort) +
           " MaxUDPPort=" + std::to_string(s.MaxUDPPort) + " SearchTimeout=" + std::to_string(s.SearchTimeout) +
           " ConnectionMode=" + std::string(ConnectionModeName(s.Connection)) +
           " SkipRecentHubs=" + std::to_string(s.SkipRecentHubs);
}

AppSettings Defaults() {
    AppSettings s;
    s.AutodetectIP = true;
    s.HublistURL = kDefaultHublistURL;
    s.ShareSize = "5.00";
    s.Threads = 30;
    s.MinUDPPort = 1025;
    s.MaxUDPPort = 32000;
    s.SearchTimeout = 15;
    return s;
}

struct LoadCase {
    const char* name;
    const char* file;
    std::function<void(AppSettings&)> change;  // applied to the defaults
};

class LoadSettingsTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadSettingsTest, GivesTheStoredValuesOverTheDefaults) {
    const LoadCase& c = GetParam();
    TempDir dir;
    WriteFile(dir.File("Hubsift.ini"), c.file);
    AppSettings expected = Defaults();
    c.change(expected);
    const AppSettings loaded = LoadSettings(dir.File("Hubsift.ini"));
    EXPECT_EQ(Fields(loaded), Fields(expected))
        << c.name << "\n got: " << Describe(loaded) << "\nwant: " << Describe(expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, LoadSettingsTest,
    ::testing::Values(
        LoadCase{"empty file", "", [](AppSettings&) {}},
        LoadCase{"every key",
                 "[Settings]\r\nNick=joe\r\nAutodetectIP=0\r\nIP=1.2.3.4\r\nHublistURL=http://h/l.bz2\r\n"
                 "RefreshHublist=1\r\nShareSize=7.25\r\nThreads=12\r\nMinUDPPort=2000\r\nMaxUDPPort=-3\r\n"
                 "SearchTimeout=0\r\n\r\nConnectionMode=Active\r\nSkipRecentHubs=0\r\n",
                 [](AppSettings& s) {
                     s.Connection = ConnectionMode::Active;
                     s.SkipRecentHubs = false;
                     s.Nick = "joe";
                     s.AutodetectIP = false;
                     s.IP = "1.2.3.4";
                     s.HublistURL = "http://h/l.bz2";
                     s.RefreshHublist = true;
                     s.ShareSize = "7.25";
                     s.Threads = 12;
                     s.MinUDPPort = 2000;
                     s.MaxUDPPort = -3;
                     s.SearchTimeout = 0;
                 }},
        LoadCase{"unknown connection mode is Automatic", "[Settings]\r\nConnectionMode=passive\r\n",
                 [](AppSettings&) {}},
        LoadCase{"threads above 100 lowered", "[Settings]\r\nThreads=250\r\n", [](AppSettings& s) { s.Threads = 100; }},
        LoadCase{"threads 0 kept", "[Settings]\r\nThreads=0\r\n", [](AppSettings& s) { s.Threads = 0; }},
        LoadCase{"threads -3 kept", "[Settings]\r\nThreads=-3\r\n", [](AppSettings& s) { s.Threads = -3; }},
        LoadCase{"threads in hex with 0x", "[Settings]\r\nThreads=0x1F\r\n", [](AppSettings& s) { s.Threads = 31; }},
        LoadCase{"threads in hex with $", "[Settings]\r\nThreads=$1F\r\n", [](AppSettings& s) { s.Threads = 31; }},
        LoadCase{"threads not a number", "[Settings]\r\nThreads=many\r\n", [](AppSettings&) {}},
        LoadCase{"autodetect word gives default", "[Settings]\r\nAutodetectIP=yes\r\n", [](AppSettings&) {}},
        LoadCase{"refresh 2 is true", "[Settings]\r\nRefreshHublist=2\r\n",
                 [](AppSettings& s) { s.RefreshHublist = true; }},
        LoadCase{"lower-case names", "[settings]\r\nnick=ann\r\nthreads=5\r\n",
                 [](AppSettings& s) {
                     s.Nick = "ann";
                     s.Threads = 5;
                 }},
        LoadCase{"byte order mark skipped", "\xEF\xBB\xBF[Settings]\r\nNick=ann\r\n",
                 [](AppSettings& s) { s.Nick = "ann"; }},
        LoadCase{"nick trimmed", "[Settings]\r\nNick=  ann \t\r\n", [](AppSettings& s) { s.Nick = "ann"; }},
        LoadCase{"empty URL is not the default", "[Settings]\r\nHublistURL=\r\n",
                 [](AppSettings& s) { s.HublistURL = ""; }},
        LoadCase{"second nick counts", "[Settings]\r\nNick=a\r\nNick=b\r\n", [](AppSettings& s) { s.Nick = "b"; }},
        LoadCase{"second section only", "[Settings]\r\nNick=a\r\nThreads=9\r\n[Settings]\r\nIP=5.6.7.8\r\n",
                 [](AppSettings& s) { s.IP = "5.6.7.8"; }},
        LoadCase{"bad share size kept as text", "[Settings]\r\nShareSize=lots\r\n",
                 [](AppSettings& s) { s.ShareSize = "lots"; }}),
    [](const auto& caseInfo) { return ParamName(caseInfo.param.name, caseInfo.index); });

// A file that cannot be read is treated as a missing one, and reading it must neither throw nor block.
TEST(SettingsStoreTest, MissingOrUnreadableFileGivesTheDefaults) {
    TempDir dir;
    EXPECT_EQ(Fields(LoadSettings(dir.File("Hubsift.ini"))), Fields(Defaults())) << "missing";
    EXPECT_EQ(Fields(LoadSettings(dir.Path())), Fields(Defaults())) << "a folder";
    const IdleFifo fifo(dir.File("fifo.ini"));
    ASSERT_TRUE(fifo.Made());
    AppSettings loaded;
    EXPECT_TRUE(fifo.ReadReturns([&] { loaded = LoadSettings(dir.File("fifo.ini")); })) << "a FIFO";
    EXPECT_EQ(Fields(loaded), Fields(Defaults())) << "a FIFO";
}

struct ShareCase {
    const char* shareSize;
    const char* bytes;
};

class ShareSizeTest : public ::testing::TestWithParam<ShareCase> {};

TEST_P(ShareSizeTest, ConvertsGigabytesToBytesTruncated) {
    EXPECT_EQ(ShareSizeToBytes(GetParam().shareSize), GetParam().bytes) << GetParam().shareSize;
}

INSTANTIATE_TEST_SUITE_P(Values, ShareSizeTest,
                         ::testing::Values(ShareCase{"5.00", "5368709120"}, ShareCase{"0.5", "536870912"},
                                           ShareCase{"1.3", "1395864371"}, ShareCase{"1.5", "1610612736"},
                                           ShareCase{"0", "0"}, ShareCase{" 2 ", "2147483648"},
                                           ShareCase{"-1", "-1073741824"}, ShareCase{"-0.0000000001", "0"},
                                           ShareCase{"1e1", "10737418240"}, ShareCase{"1E-9", "1"},
                                           ShareCase{"-8589934592", "-9223372036854775808"},
                                           ShareCase{"8589934591", "9223372035781033984"}, ShareCase{"8589934592", "0"},
                                           ShareCase{"1e400", "0"}, ShareCase{"5,5", "0"}, ShareCase{"1,000", "0"},
                                           ShareCase{"lots", "0"}, ShareCase{"", "0"}),
                         [](const auto& caseInfo) { return ParamName(caseInfo.param.shareSize, caseInfo.index); });

AppSettings Sample() {
    AppSettings s = Defaults();
    s.Nick = "j o|e";
    s.AutodetectIP = false;
    s.IP = "85.1.2.3";
    s.RefreshHublist = true;
    s.ShareSize = "7.25";
    s.ShareSizeBytes = "7784628224";
    s.Threads = 100;
    s.MinUDPPort = -1;
    s.MaxUDPPort = 1025;
    s.SearchTimeout = 0;
    s.Connection = ConnectionMode::Passive;
    return s;
}

constexpr char kSampleFile[] =
    "[Settings]\r\nNick=j o|e\r\nAutodetectIP=0\r\nIP=85.1.2.3\r\nHublistURL=https://dchublist.org/hublist.xml.bz2\r\n"
    "RefreshHublist=1\r\nShareSize=7.25\r\nThreads=100\r\nMinUDPPort=-1\r\nMaxUDPPort=1025\r\nSearchTimeout=0\r\n"
    "\r\nConnectionMode=Passive\r\nSkipRecentHubs=1\r\n";

TEST(SettingsStoreTest, SaveWritesExactlyTheTwelveLinesAndTheNewerKeysAndDropsEverythingElse) {
    TempDir dir;
    const std::string file = dir.File("Hubsift.ini");
    WriteFile(file, "[Mine]\r\nX=1\r\n[Settings]\r\nExtra=2\r\nNick=old\r\n");
    ASSERT_EQ(SaveSettings(file, Sample()), std::nullopt);
    EXPECT_EQ(ReadFile(file), kSampleFile);
}

TEST(SettingsStoreTest, SavedFileLoadsBackTheSameValues) {
    TempDir dir;
    const std::string file = dir.File("Hubsift.ini");
    AppSettings saved = Sample();
    saved.AutodetectIP = true;
    saved.HublistURL = "";
    ASSERT_EQ(SaveSettings(file, saved), std::nullopt);
    saved.ShareSizeBytes.clear();  // derived, never stored
    EXPECT_EQ(Fields(LoadSettings(file)), Fields(saved));
}

TEST(SettingsStoreTest, FailureNamesTheFile) {
    TempDir dir;
    const std::string file = dir.File("missing/Hubsift.ini");
    const auto error = SaveSettings(file, Sample());
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->find(file), std::string::npos) << *error;
}

}  // namespace

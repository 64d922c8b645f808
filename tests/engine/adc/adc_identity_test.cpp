#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "engine/adc/adc_identity.h"
#include "support/temp_dir.h"

namespace {

// CIDs of fixed PIDs, as an independent Tiger implementation computes them.
TEST(AdcIdentity, CidIsTheTigerHashOfThePid) {
    EXPECT_EQ(AdcCidOfPid("AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"), "ZXO4VT7KPNYLJBLFLOR5YP3A33SPNOHYMEDJ4MY");
    EXPECT_EQ(AdcCidOfPid("AAAQEAYEAUDAOCAJBIFQYDIOB4IBCEQTCQKRMFY"), "W6AIUW3CLDF6OGHNVE4JPDDJ2P74IWRCF2O36TA");
    for (const char* pid :
         {"", "AAAA", "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"})
        EXPECT_FALSE(AdcCidOfPid(pid).has_value()) << pid;
}

TEST(AdcIdentity, MadeOnceKeptPrivateAndReused) {
    TempDir dir;
    const AdcIdentityLoad first = LoadOrCreateAdcIdentity(dir.Path());
    ASSERT_TRUE(first.identity) << first.error;
    EXPECT_EQ(AdcCidOfPid(first.identity->Pid), first.identity->Cid);
    struct stat info {};
    ASSERT_EQ(stat(dir.File(kAdcPidFileName).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    const AdcIdentityLoad again = LoadOrCreateAdcIdentity(dir.Path());
    ASSERT_TRUE(again.identity);
    EXPECT_EQ(again.identity->Pid, first.identity->Pid);

    TempDir other;
    EXPECT_NE(LoadOrCreateAdcIdentity(other.Path()).identity->Pid, first.identity->Pid);
}

TEST(AdcIdentity, ReplacesAFileWithoutAPidAndReportsAnUnwritableFolder) {
    TempDir dir;
    WriteFile(dir.File(kAdcPidFileName), "not a pid\n");
    const AdcIdentityLoad load = LoadOrCreateAdcIdentity(dir.Path());
    ASSERT_TRUE(load.identity) << load.error;
    EXPECT_EQ(ReadFile(dir.File(kAdcPidFileName)), load.identity->Pid + "\n");

    const AdcIdentityLoad missing = LoadOrCreateAdcIdentity(dir.File("no such folder"));
    EXPECT_FALSE(missing.identity);
    EXPECT_NE(missing.error.find("no such folder/adc_pid"), std::string::npos) << missing.error;
}

}  // namespace

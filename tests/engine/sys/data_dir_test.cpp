#include "engine/sys/data_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/param_name.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

struct FolderCase {
    const char* xdgDataHome;
    const char* home;
    const char* expected;
};

class LocalAppDataFolderTest : public ::testing::TestWithParam<FolderCase> {};

TEST_P(LocalAppDataFolderTest, PrefersXdgDataHomeThenHome) {
    const FolderCase& c = GetParam();
    EXPECT_EQ(LocalAppDataFolder(c.xdgDataHome, c.home), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Environment, LocalAppDataFolderTest,
    ::testing::Values(FolderCase{"/data", "/home/u", "/data"}, FolderCase{"/data/", "/home/u", "/data"},
                      FolderCase{nullptr, "/home/u", "/home/u/.local/share"},
                      FolderCase{"", "/home/u/", "/home/u/.local/share"},
                      FolderCase{"relative", "/home/u", "/home/u/.local/share"}, FolderCase{"/", nullptr, "/"},
                      FolderCase{nullptr, nullptr, ""}, FolderCase{"", "", ""}, FolderCase{nullptr, "home", ""}),
    [](const auto& caseInfo) {
        const auto word = [](const char* value) {
            return value == nullptr ? std::string("unset") : std::string(value);
        };
        return ParamName("xdg " + word(caseInfo.param.xdgDataHome) + " home " + word(caseInfo.param.home),
                         caseInfo.index);
    });

TEST(AppDataDirTest, NoFolderIsTheFindingError) {
    const AppDataDirResult result = PrepareAppDataDir("");
    EXPECT_FALSE(result.path.has_value());
    EXPECT_EQ(result.error, kDataDirFindError);
}

TEST(AppDataDirTest, FreshFolderGetsBothLevels) {
    TempDir dir;
    const AppDataDirResult result = PrepareAppDataDir(dir.Path());
    EXPECT_EQ(result.path, dir.Path() + "/Brindlework/Hubsift");
    EXPECT_TRUE(fs::is_directory(dir.Path() + "/Brindlework/Hubsift"));
}

TEST(AppDataDirTest, ExistingVendorFolderIsKeptAndOnlyTheSecondLevelCreated) {
    TempDir dir;
    fs::create_directory(dir.File("Brindlework"));
    WriteFile(dir.File("Brindlework/keep"), "x");
    const AppDataDirResult result = PrepareAppDataDir(dir.Path());
    EXPECT_EQ(result.path, dir.Path() + "/Brindlework/Hubsift");
    EXPECT_EQ(ReadFile(dir.File("Brindlework/keep")), "x");
}

TEST(AppDataDirTest, ExistingDirectoryIsUsedUnchanged) {
    TempDir dir;
    fs::create_directories(dir.File("Brindlework/Hubsift"));
    WriteFile(dir.File("Brindlework/Hubsift/Hubsift.ini"), "[Settings]");
    const AppDataDirResult result = PrepareAppDataDir(dir.Path() + "/");
    EXPECT_EQ(result.path, dir.Path() + "/Brindlework/Hubsift");
    EXPECT_EQ(ReadFile(dir.File("Brindlework/Hubsift/Hubsift.ini")), "[Settings]");
}

TEST(AppDataDirTest, MissingDataHomeIsCreatedWithItsParents) {
    TempDir dir;
    const AppDataDirResult result = PrepareAppDataDir(dir.File("home/.local/share"));
    EXPECT_EQ(result.path, dir.File("home/.local/share/Brindlework/Hubsift"));
    EXPECT_TRUE(fs::is_directory(dir.File("home/.local/share/Brindlework/Hubsift")));
}

TEST(AppDataDirTest, LevelThatCannotBeCreatedIsTheCreationError) {
    // Tests may run as root, so a file in the way stands in for a refused directory.
    const char* const blockers[] = {"file-as-folder", "file-as-vendor", "file-as-app"};
    for (const std::string blocker : blockers) {
        TempDir dir;
        std::string folder = dir.Path();
        if (blocker == "file-as-folder") {
            folder = dir.File("data");
            WriteFile(folder, "");
        }
        if (blocker == "file-as-vendor") WriteFile(dir.File("Brindlework"), "");
        if (blocker == "file-as-app") {
            fs::create_directory(dir.File("Brindlework"));
            WriteFile(dir.File("Brindlework/Hubsift"), "");
        }
        const AppDataDirResult result = PrepareAppDataDir(folder);
        EXPECT_FALSE(result.path.has_value()) << blocker;
        EXPECT_EQ(result.error, kDataDirCreateError) << blocker;
    }
}

TEST(ChosenDataDirTest, FolderIsUsedAsNamedAndCreatedWithItsParents) {
    TempDir dir;
    EXPECT_EQ(PrepareChosenDataDir(dir.File("a/b//")).path, dir.File("a/b"));
    EXPECT_TRUE(fs::is_directory(dir.File("a/b")));
    EXPECT_FALSE(fs::exists(dir.File("a/b/Brindlework")));
    WriteFile(dir.File("file"), "");
    EXPECT_EQ(PrepareChosenDataDir(dir.File("file")).error, kDataDirCreateError);
    EXPECT_EQ(PrepareChosenDataDir("").error, kDataDirFindError);
}

}  // namespace

#include "ui/support/shell.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace {

TEST(DataFileDirectoryTest, BesideTheProgramFirstThenTheInstalledDataFolder) {
    TempDir prefix;
    const std::string bin = prefix.File("bin/");
    const std::string installed = bin + HUBSIFT_DATA_FROM_BIN "/";
    std::filesystem::create_directories(installed);
    EXPECT_EQ(DataFileDirectory(bin, "help.txt"), installed) << "the installed place when no copy exists";
    WriteFile(installed + "help.txt", "installed");
    EXPECT_EQ(DataFileDirectory(bin, "help.txt"), installed);
    WriteFile(bin + "help.txt", "build tree");
    EXPECT_EQ(DataFileDirectory(bin, "help.txt"), bin);
}

}  // namespace

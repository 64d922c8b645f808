#include "engine/sys/file_replacement.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <functional>
#include <set>

#include "engine/sys/system_error.h"
#include "support/temp_dir.h"

namespace {

std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename());
    return names;
}

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

TEST(FileReplacement, ReplacesWholeKeepingTheOldModeAndLeavesNothingBehind) {
    TempDir dir;
    const std::string file = dir.File("data.ini");
    WriteFile(file, "old");
    ASSERT_EQ(chmod(file.c_str(), 0604), 0);
    // A second name of the old file still sees it whole: the new content went into a new file.
    ASSERT_EQ(link(file.c_str(), dir.File("old-link").c_str()), 0);
    FileReplacement replacement(file);
    EXPECT_TRUE(replacement.Write("new "));
    EXPECT_TRUE(replacement.Write("content"));
    EXPECT_EQ(ReadFile(file), "old") << "nothing shows before the commit";
    ASSERT_EQ(replacement.Commit(), std::nullopt);
    EXPECT_EQ(ReadFile(file), "new content");
    EXPECT_EQ(ReadFile(dir.File("old-link")), "old");
    EXPECT_EQ(ModeOf(file), 0604u);
    EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"data.ini", "old-link"}));
}

TEST(FileReplacement, NewFileGetsTheUsualModeLessTheUmask) {
    TempDir dir;
    const mode_t previous = umask(027);
    FileReplacement replacement(dir.File("new.xml"));
    replacement.Write("x");
    EXPECT_EQ(replacement.Commit(), std::nullopt);
    umask(previous);
    EXPECT_EQ(ModeOf(dir.File("new.xml")), 0640u);
}

// Each failure names the file and the reason, leaves what was there untouched and no temporary file.
TEST(FileReplacement, FailuresKeepTheOldFileAndCleanUp) {
    struct Case {
        const char* what;
        std::function<void(const TempDir&)> prepare;
        const char* target;
        int reason;
    };
    const Case cases[] = {
        {"missing folder", [](const TempDir&) {}, "missing/data.ini", ENOENT},
        {"folder in the file's place",
         [](const TempDir& dir) { std::filesystem::create_directory(dir.File("data.ini")); }, "data.ini", EISDIR},
        {"write refused (disk full alike)",
         [](const TempDir& dir) {
             WriteFile(dir.File("data.ini"), "old");
             const rlimit limit{16, RLIM_INFINITY};
             setrlimit(RLIMIT_FSIZE, &limit);
         },
         "data.ini", EFBIG},
    };
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit unlimited{};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    for (const Case& c : cases) {
        TempDir dir;
        c.prepare(dir);
        const std::set<std::string> before = Names(dir.Path());
        const std::string target = dir.File(c.target);
        std::optional<std::string> error;
        {
            FileReplacement replacement(target);
            replacement.Write(std::string(64, 'n'));
            error = replacement.Commit();
        }
        setrlimit(RLIMIT_FSIZE, &unlimited);
        ASSERT_TRUE(error.has_value()) << c.what;
        EXPECT_NE(error->find("\"" + target + "\""), std::string::npos) << *error;
        EXPECT_NE(error->find(SystemErrorText(c.reason)), std::string::npos) << *error;
        EXPECT_EQ(Names(dir.Path()), before) << c.what;
        if (std::filesystem::is_regular_file(target)) {
            EXPECT_EQ(ReadFile(target), "old") << c.what;
        }
    }
    std::signal(SIGXFSZ, oldSignal);
}

TEST(FileReplacement, AbandonedReplacementLeavesTheOldFile) {
    TempDir dir;
    WriteFile(dir.File("data.ini"), "old");
    { FileReplacement(dir.File("data.ini")).Write("never committed"); }
    EXPECT_EQ(ReadFile(dir.File("data.ini")), "old");
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"data.ini"});
}

}  // namespace

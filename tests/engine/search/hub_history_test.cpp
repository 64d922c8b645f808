#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/search/hub_history.h"
#include "support/temp_dir.h"

namespace {

HubOutcome Ended(const std::string& host, HubReason reason, int results = 0) {
    HubOutcome outcome;
    outcome.host = host;
    outcome.port = 411;
    outcome.reason = reason;
    outcome.results = results;
    return outcome;
}

// Hubs that gave results stand first, hubs that failed each of their last three runs last; a hub reported again in
// the same run does not fail twice; everything survives reopening the file.
TEST(HubHistoryTest, StandingsFollowTheLastRuns) {
    TempDir dir;
    const std::string file = dir.File(kHubHistoryFileName);
    {
        HubHistory history(file);
        ASSERT_TRUE(history.IsOpen());
        history.Record({Ended("gives", HubReason::Searched, 3), Ended("fails", HubReason::HubFull),
                        Ended("mends", HubReason::NoAnswer), Ended("quiet", HubReason::Searched)},
                       1, 1000);
        history.Record({Ended("fails", HubReason::HubFull), Ended("gives", HubReason::Searched, 5)}, 1, 1010);
        for (const int64_t run : {2, 3}) {
            history.Record({Ended("fails", HubReason::Banned), Ended("mends", HubReason::NoAnswer)}, run, 2000 + run);
        }
        history.Record({Ended("mends", HubReason::Searched)}, 4, 3000);
    }
    const HubHistory reopened(file);
    const auto records = reopened.Records();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records.at("gives:411").standing, HubStanding::Productive);
    EXPECT_EQ(records.at("gives:411").lastSearched, 1010);
    EXPECT_EQ(records.at("fails:411").standing, HubStanding::Failing) << "three runs, not four reports";
    EXPECT_EQ(records.at("fails:411").lastSearched, 0);
    EXPECT_EQ(records.at("mends:411").standing, HubStanding::Unknown) << "searched again, no longer failing";
    EXPECT_EQ(records.at("quiet:411").standing, HubStanding::Unknown);
}

void WriteNewerSchema(const std::string& file) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE future (x); PRAGMA user_version = 99;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// A file it cannot read is renamed beside it and a new history begins: starting never fails because of it.
TEST(HubHistoryTest, UnreadableFileIsSetAsideAndStartedAnew) {
    const struct {
        const char* name;
        void (*make)(const std::string& file);
    } cases[] = {
        {"not a database", [](const std::string& file) { WriteFile(file, std::string(4096, 'x')); }},
        {"a newer schema", WriteNewerSchema},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string file = dir.File(kHubHistoryFileName);
        c.make(file);
        HubHistory history(file);
        ASSERT_TRUE(history.IsOpen());
        EXPECT_TRUE(history.Records().empty());
        history.Record({Ended("a", HubReason::Searched, 1)}, 1, 100);
        EXPECT_EQ(history.Records().size(), 1u);
        int setAside = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
            setAside += entry.path().filename().string().starts_with(std::string(kHubHistoryFileName) + ".damaged-");
        EXPECT_EQ(setAside, 1);
    }
}

}  // namespace

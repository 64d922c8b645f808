#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/search/hub_tally.h"

namespace {

HubOutcome Ended(const std::string& host, HubReason reason) {
    HubOutcome outcome;
    outcome.host = host;
    outcome.port = 411;
    outcome.reason = reason;
    return outcome;
}

std::vector<std::string> HostsAndResults(const std::vector<HubOutcome>& outcomes) {
    std::vector<std::string> texts;
    texts.reserve(outcomes.size());
    for (const HubOutcome& outcome : outcomes) texts.push_back(outcome.host + "=" + std::to_string(outcome.results));
    return texts;
}

// Answers that come before their hub's outcome wait for it; each batch names a changed hub once; a new run forgets.
TEST(HubTallyTest, ReportsEachChangedHubOnceWithItsResults) {
    HubTally tally;
    tally.CountResult("early:411");
    tally.CountResult("early:411");
    EXPECT_TRUE(tally.TakeChanged().empty());

    tally.AddOutcomes({Ended("a", HubReason::Searched), Ended("early", HubReason::Searched)});
    tally.CountResult("a:411");
    tally.CountResult("a:411");
    EXPECT_EQ(HostsAndResults(tally.TakeChanged()), (std::vector<std::string>{"a=2", "early=2"}));
    EXPECT_TRUE(tally.TakeChanged().empty());

    tally.CountResult("early:411");
    tally.AddOutcomes({Ended("b", HubReason::NickRefused)});
    EXPECT_EQ(HostsAndResults(tally.TakeChanged()), (std::vector<std::string>{"early=3", "b=0"}));

    tally.Clear();
    tally.AddOutcomes({Ended("a", HubReason::Searched)});
    EXPECT_EQ(HostsAndResults(tally.TakeChanged()), std::vector<std::string>{"a=0"});
}

}  // namespace

#include <gtest/gtest.h>

#include <string>

#include "engine/results/result_quota.h"

namespace {

TEST(ResultQuota, EachUserOnEachHubHasItsOwnLimit) {
    ResultQuota quota;
    // Enough senders that the table grows several times while counts are kept.
    constexpr int kUsers = 5000;
    for (int round = 0; round < 3; ++round)
        for (int user = 0; user < kUsers; ++user)
            ASSERT_TRUE(quota.Admit("u" + std::to_string(user), "hub", 3)) << user << " round " << round;
    for (int user = 0; user < kUsers; ++user) EXPECT_FALSE(quota.Admit("u" + std::to_string(user), "hub", 3)) << user;

    EXPECT_TRUE(quota.Admit("u1", "other hub", 3)) << "the same nick on another hub";
    EXPECT_TRUE(quota.Admit("hub", "u1", 3)) << "nick and hub swapped";
    quota.Clear();
    EXPECT_TRUE(quota.Admit("u1", "hub", 3));
}

}  // namespace
